// SPDX-License-Identifier: MIT
#include "test_broker.h"

#include "test_environment.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <atomic>
#include <fstream>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace pixtera::test {
namespace {

// A port nobody listens on now: the kernel's pick for a socket bound to port 0.
int FreePort()
{
    const int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address);
    getsockname(s, reinterpret_cast<sockaddr*>(&address), &length);
    close(s);
    return ntohs(address.sin_port);
}

// Linux takes no longer argument to a program (MAX_ARG_STRLEN is 128 KiB): longer payloads go by file.
constexpr std::size_t kLongestArgument = 64 * 1024;

bool Accepts(int port)
{
    const int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    const bool ok = connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    close(s);
    return ok;
}

} // namespace

TestBroker::TestBroker() : TestBroker(Options{}) {}

TestBroker::TestBroker(Options options) : options_(std::move(options)), port_(FreePort())
{
    static int brokers = 0;
    directory_ = TestDirectory() / ("broker-" + std::to_string(++brokers));
    std::filesystem::create_directories(directory_);
    std::ofstream configuration(directory_ / "mosquitto.conf");
    configuration << "listener " << port_ << " 127.0.0.1\npersistence false\nlog_type all\nlog_dest file "
                  << (directory_ / "broker.log").string() << "\n";
    if (options_.tls) {
        ChildProcess make({"/usr/bin/openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt",
                           "ec_paramgen_curve:prime256v1", "-nodes", "-days", "2", "-subj", "/CN=127.0.0.1", "-addext",
                           "subjectAltName=IP:127.0.0.1", "-keyout", (directory_ / "key.pem").string(), "-out",
                           caFile().string()});
        EXPECT_EQ(make.Wait(), 0) << make.output();
        configuration << "cafile " << caFile().string() << "\ncertfile " << caFile().string() << "\nkeyfile "
                      << (directory_ / "key.pem").string() << "\n";
    }
    if (getuid() == 0)
        configuration << "user root\n"; // else it drops to "mosquitto", who cannot read the test's files
    if (options_.user.empty()) {
        configuration << "allow_anonymous true\n";
    } else {
        const auto passwords = directory_ / "passwords";
        std::ofstream(passwords) << options_.user << ":" << options_.password << "\n";
        std::filesystem::permissions(passwords,
                                     std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
        ChildProcess hash({"/usr/bin/mosquitto_passwd", "-U", passwords.string()});
        EXPECT_EQ(hash.Wait(), 0) << hash.output();
        configuration << "allow_anonymous false\npassword_file " << passwords.string() << "\n";
    }
    configuration.close();
    Start();
}

TestBroker::~TestBroker() { Stop(); }

void TestBroker::Start()
{
    broker_ = std::make_unique<ChildProcess>(
        std::vector<std::string>{"/usr/sbin/mosquitto", "-c", (directory_ / "mosquitto.conf").string()});
    EXPECT_TRUE(Eventually([&] { return Accepts(port_); })) << broker_->output();
}

int TestBroker::Refusals()
{
    const std::string log = FileText(directory_ / "broker.log");
    int count = 0;
    for (std::size_t at = log.find("not authorised"); at != std::string::npos; at = log.find("not authorised", at + 1))
        ++count;
    return count;
}

void TestBroker::Stop()
{
    if (!broker_)
        return;
    broker_->Signal(SIGTERM);
    broker_->Wait();
    broker_.reset();
}

std::vector<std::string> TestBroker::ClientArguments() const
{
    std::vector<std::string> argv{"-h", "127.0.0.1", "-p", std::to_string(port_)};
    if (!options_.user.empty())
        argv.insert(argv.end(), {"-u", options_.user, "-P", options_.password});
    if (options_.tls)
        argv.insert(argv.end(), {"--cafile", caFile().string()});
    return argv;
}

void TestBroker::Publish(const std::string& topic, const std::string& payload, bool retained) const
{
    // QoS 1: mosquitto_pub ends once the broker has the whole message, so a large message is never
    // overtaken by a small one published after it.
    std::vector<std::string> argv{"/usr/bin/mosquitto_pub", "-q", "1", "-t", topic};
    if (payload.size() > kLongestArgument) {
        static std::atomic<int> files = 0;
        const auto file = directory_ / ("payload-" + std::to_string(++files));
        std::ofstream(file, std::ios::binary) << payload;
        argv.insert(argv.end(), {"-f", file.string()});
    } else {
        argv.insert(argv.end(), {"-m", payload});
    }
    if (retained)
        argv.push_back("-r");
    const auto common = ClientArguments();
    argv.insert(argv.end(), common.begin(), common.end());
    ChildProcess publisher(argv);
    EXPECT_EQ(publisher.Wait(), 0) << publisher.output();
}

TestBroker::Watcher TestBroker::StartWatching(const std::string& pattern, int count, int seconds) const
{
    // Line-buffered: its SUBACK line must come out while it runs, not at its end.
    std::vector<std::string> argv{
        "/usr/bin/stdbuf",     "-oL", "/usr/bin/mosquitto_sub", "-t", pattern, "-v", "-d", "-C",
        std::to_string(count), "-W",  std::to_string(seconds)};
    const auto common = ClientArguments();
    argv.insert(argv.end(), common.begin(), common.end());
    return Watcher(std::move(argv));
}

TestBroker::Watcher::Watcher(std::vector<std::string> argv) : process_(std::make_unique<ChildProcess>(argv))
{
    EXPECT_TRUE(process_->WaitForOutput("SUBACK")) << process_->output();
}

std::vector<std::string> TestBroker::Watcher::Lines()
{
    process_->Wait();
    std::vector<std::string> lines;
    const std::string& output = process_->output();
    for (std::size_t start = 0; start < output.size();) {
        const std::size_t end = std::min(output.find('\n', start), output.size());
        const std::string line = output.substr(start, end - start);
        start = end + 1;
        // -d's own lines: the packets it sent and received.
        if (!line.empty() && !line.starts_with("Client ") && !line.starts_with("Subscribed ") &&
            !line.starts_with("Timed out"))
            lines.push_back(line);
    }
    return lines;
}

} // namespace pixtera::test
