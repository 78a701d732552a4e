#pragma once

#include <string>
#include <vector>

namespace corvane::server {

class Service;

// Runs one admin subcommand on the service's store. Prints what it did to standard output and
// problems to standard error; answers the process exit status.
int run_admin_command(
    Service& service, const std::string& name, const std::vector<std::string>& arguments);

// Creates the demo accounts and the demo project unless the demo account exists. Answers
// false with a reason when the store refuses.
bool seed_demo(Service& service, std::string& error);

inline constexpr char16_t demo_account[] = u"demo@example.com";
inline constexpr char16_t demo_password[] = u"demo1234";
inline constexpr char16_t friend_account[] = u"friend@example.com";
inline constexpr char16_t friend_password[] = u"friend1234";

} // namespace corvane::server
