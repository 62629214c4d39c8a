#pragma once
// The bytes EmailSend would send for a handle as it stands (with a fresh
// date, message id and boundary), for measuring the transfer apart from
// the library.
#include "suite/email/email.h"
#include <string>

namespace Email {

int32_t MessageBytes(EMAILHANDLE h, std::string& message, std::string* why = nullptr);

} // namespace Email
