#pragma once

// vornikctl's exit statuses, as the manual page lists them; here so that what it sends through
// (the service client) answers in them. Interrupted is the shell's 128 plus SIGINT, so that
// "vornikctl test && next" stops at Ctrl+C.
namespace Exit {

enum Status {
    Done = 0,
    OutputFailed = 1,
    InputError = 2,
    PortError = 3,
    FileError = 4,
    LineFailed = 5,
    Interrupted = 130
};

} // namespace Exit
