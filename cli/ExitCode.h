#pragma once

// The exit statuses of vescor-cli.
enum ExitCode : int {
    Success = 0,
    Refused = 1,       // a file or a value was refused
    UsageError = 2,    // the command line is wrong
    DriverFailure = 3, // the driver or the register failed
    WriteFailure = 3,  // standard output, standard error or a file could not be written
};
