// The only exceptions of the library: bad stored data and serializer misuse.
// Every other failure is reported through a return value.
#pragma once

#include "common/Export.h"

#include <exception>
#include <string>

namespace Kestrum::Common {

struct KESTRUM_COMMON_EXPORT CommonException : std::exception {
    explicit CommonException(std::string message) : m_message(std::move(message)) {}
    const char* what() const noexcept override { return m_message.c_str(); }

private:
    std::string m_message;
};

} // namespace Kestrum::Common
