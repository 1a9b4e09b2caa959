// SPDX-License-Identifier: MIT
#include <pixtera/mqtt/password_file.h>

#include <pixtera/sdk/bounded_file.h>

namespace pixtera::mqtt {

PasswordFile ReadPasswordFile(const std::string& path)
{
    PasswordFile result;
    const BoundedFile file = ReadBoundedFile(path, 4096, true, FileOwner::ThisUserOrRoot);
    if (!file) {
        result.problem = file.problem;
        return result;
    }
    result.password = file.text.substr(0, file.text.find('\n'));
    if (!result.password.empty() && result.password.back() == '\r')
        result.password.pop_back();
    if (result.password.empty())
        result.problem = "is empty";
    result.othersMayRead = (file.mode & (S_IRWXG | S_IRWXO)) != 0;
    return result;
}

} // namespace pixtera::mqtt
