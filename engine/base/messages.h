// The engine's numbered texts and the formatting of its messages.
#pragma once

#include <cstdarg>
#include <string>

namespace varrow {

enum TextId : unsigned {
    kTextStartMessage = 5,       // "Start processing message (No.%u) ..."
    kTextFinishMessage = 6,      // "Finish processing message (No.%u)."
    kTextMessageSize = 7,        // "Message size: %lu"
    kTextUntitledMessage = 8,    // "Message %lu"
    kTextCannotOpenSource = 9,   // "Error 1: ... %1"
    kTextGeneralError = 10,      // "Error 2: General error. %1"
    kTextUnknownError = 11,      // "Error 3: Unknown error."
    kTextCannotCreateTemp = 12,  // "Error 4: Cannot create temporary file."
    kTextCannotCreateMessage = 14,
    kTextShareViolation = 15,
    kTextInvalidDestination = 16,
    kTextInvalidDestinationAlert = 17,
    kTextSubfolderPattern = 18,  // "Recovered_Msg%lu"
    kTextFolderLimitReached = 19,
    kTextNewSubfolder = 20,
    kTextPhysicalDrivePrefix = 21,  // "\\.\PHYSICALDRIVE"
    kTextDevicePrefix = 22,         // "\\.\"
};

// The text of an id of the message table; empty for an unknown id.
const char* EngineText(unsigned id);

// Fills a printf-style pattern.
std::string FormatText(const char* pattern, ...) __attribute__((format(printf, 1, 2)));
std::string FormatTextV(const char* pattern, va_list args);

// Replaces every "%1" of pattern by replacement.
std::string ReplacePlaceholder(const std::string& pattern, const std::string& replacement);

}  // namespace varrow
