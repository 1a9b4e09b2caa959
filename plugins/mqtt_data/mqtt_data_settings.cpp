// SPDX-License-Identifier: MIT
#include "mqtt_data_settings.h"

#include <pixtera/mqtt/password_file.h>

#include <mosquitto.h>

namespace pixtera::mqtt {
namespace {

std::vector<std::string> Topics(const std::string& list, std::vector<std::string>& problems)
{
    std::vector<std::string> topics;
    for (const std::string& topic : CommaList(list)) {
        if (mosquitto_sub_topic_check(topic.c_str()) != MOSQ_ERR_SUCCESS)
            problems.push_back("topic \"" + Printable(topic) + "\" (+ and # stand only for whole levels, # only last)");
        else
            topics.push_back(topic);
    }
    return topics;
}

} // namespace

MqttDataSettings ReadMqttDataSettings(const ConfigurationText& fields, std::vector<std::string>& problems)
{
    MqttDataSettings settings;
    ConnectionSettings& connection = settings.connection;
    connection.logName = "MQTT data";
    if (const auto host = fields.Text("host"); host && !host->empty()) // blanks are gone already
        connection.host = *host;
    bool badPort = false;
    connection.port = static_cast<int>(fields.Number("port", 1, 65535, &badPort).value_or(1883));
    if (badPort)
        problems.push_back("port (1 to 65535)");
    settings.topics = Topics(fields.Text("topics").value_or(""), problems);
    if (settings.topics.empty())
        problems.push_back("topics (none given: nothing is subscribed)");
    connection.username = fields.Text("username").value_or("");
    if (fields.Text("password"))
        problems.push_back("password (never in the configuration: put it in a file only you can read and name it "
                           "with password_file=)");
    if (const auto path = fields.Text("password_file"); path && !path->empty()) {
        const PasswordFile file = ReadPasswordFile(*path);
        if (!file.problem.empty())
            problems.push_back("password_file (" + *path + " " + file.problem + ")");
        else if (file.othersMayRead)
            problems.push_back("password_file (" + *path +
                               " may be read by others: chmod 600 it; it is used all the same)");
        connection.password = file.password;
    }
    connection.tlsCa = fields.Text("tls_ca").value_or("");
    connection.clientId = fields.Text("client_id").value_or("");
    return settings;
}

} // namespace pixtera::mqtt
