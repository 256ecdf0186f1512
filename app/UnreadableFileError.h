#pragma once

#include <stdexcept>

// A file that could not be read, as opposed to one that could not be
// written: a caller copying many files may go on without this one, while a
// full disk stops it.
class UnreadableFileError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};
