// The command's errors: a one-line message and the exit status it ends with.
#ifndef LUMTRAX_TOOLS_FAILURE_H
#define LUMTRAX_TOOLS_FAILURE_H

#include <stdexcept>
#include <string>

namespace lumtrax_cli {

// The exit statuses of the command.
constexpr int kExitOk = 0;
constexpr int kExitGaijiReplaced = 1;
constexpr int kExitUsage = 2;
constexpr int kExitInputOutput = 3;  // also an input too large for one call, or bad hex

// Thrown inside the command only; main prints "lumtrax: " and the message.
class Failure : public std::runtime_error {
public:
    Failure(int exit_status, const std::string& message) : std::runtime_error(message), exit_status_(exit_status) {}
    int exit_status() const { return exit_status_; }

private:
    int exit_status_;
};

}  // namespace lumtrax_cli

#endif  // LUMTRAX_TOOLS_FAILURE_H
