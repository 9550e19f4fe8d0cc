#pragma once

// vornikctl's exit statuses, as the manual page lists them.
namespace Exit {

enum Status { Done = 0, InputError = 2, PortError = 3, FileError = 4, LineFailed = 5 };

} // namespace Exit
