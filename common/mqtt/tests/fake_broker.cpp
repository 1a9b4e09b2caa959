// SPDX-License-Identifier: MIT
#include "fake_broker.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <sys/eventfd.h>
#include <sys/socket.h>

namespace pixtera::test {
namespace {

// Whether `bytes` start with one whole MQTT packet: a type byte, a length of up to four bytes
// of seven bits each, and that many bytes.
bool WholePacket(const std::string& bytes)
{
    std::size_t length = 0;
    for (std::size_t i = 1; i < bytes.size() && i <= 4; ++i) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        length |= static_cast<std::size_t>(byte & 0x7F) << (7 * (i - 1));
        if (!(byte & 0x80))
            return bytes.size() >= 1 + i + length;
    }
    return false;
}

} // namespace

FakeBroker::FakeBroker(Behaviour behaviour, int hangUps)
    : behaviour_(behaviour),
      hangUps_(hangUps),
      listener_(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)),
      stop_(eventfd(0, EFD_CLOEXEC))
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (!listener_ || !stop_ || bind(listener_.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(listener_.get(), 16) != 0 ||
        getsockname(listener_.get(), reinterpret_cast<sockaddr*>(&address), &length) != 0)
        throw std::runtime_error("the fake broker cannot listen");
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { Run(); });
}

FakeBroker::~FakeBroker()
{
    const std::uint64_t one = 1;
    (void)!write(stop_.get(), &one, sizeof one);
    thread_.join();
}

int FakeBroker::Connections() const
{
    std::lock_guard lock(mutex_);
    return connections_;
}

std::string FakeBroker::Received() const
{
    std::lock_guard lock(mutex_);
    return received_;
}

void FakeBroker::Run()
{
    while (true) {
        std::vector<pollfd> fds{{stop_.get(), POLLIN, 0}, {listener_.get(), POLLIN, 0}};
        for (const auto& client : clients_)
            fds.push_back({client.fd.get(), POLLIN, 0});
        if (poll(fds.data(), fds.size(), -1) < 0)
            continue;
        if (fds[0].revents)
            return;
        if (fds[1].revents & POLLIN)
            Accept();
        // From the back: a client done with goes, and those before it keep their places.
        for (std::size_t i = fds.size(); i-- > 2;)
            if (fds[i].revents && !Read(clients_[i - 2]))
                clients_.erase(clients_.begin() + static_cast<long>(i - 2));
    }
}

void FakeBroker::Accept()
{
    Client client;
    client.fd.reset(accept4(listener_.get(), nullptr, nullptr, SOCK_CLOEXEC));
    if (!client.fd)
        return;
    {
        std::lock_guard lock(mutex_);
        client.number = ++connections_;
    }
    clients_.push_back(std::move(client));
}

bool FakeBroker::Read(Client& client)
{
    char buffer[4096];
    const ssize_t n = read(client.fd.get(), buffer, sizeof buffer);
    if (n <= 0)
        return false;
    {
        std::lock_guard lock(mutex_);
        received_.append(buffer, static_cast<std::size_t>(n));
    }
    if (behaviour_ == Behaviour::Silent || client.answered)
        return true;
    client.connect.append(buffer, static_cast<std::size_t>(n));
    if (!WholePacket(client.connect))
        return true;
    // CONNACK: accepted, no session.
    const char connack[] = {0x20, 0x02, 0x00, 0x00};
    (void)!write(client.fd.get(), connack, sizeof connack);
    client.answered = true;
    return client.number > hangUps_;
}

} // namespace pixtera::test
