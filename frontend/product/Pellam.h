// The front end's binding to the engine: one recovery call with its masked
// record, and the callback that routes the engine's events to the window.
#pragma once

#include <cstdint>

#include <QString>

#include "varrow.h"

namespace tolvan {

class TDriveList;
class TEngineClient;

// The engine's entry point; tests pass a stand-in.
using TRecoverEntry = int32_t(VARROW_CALL*)(const RecoveryParams* masked);

// Lays out the six fields as a RecoveryParams record, XORs every byte of it
// with VARROW_PARAMS_MASK and calls entry with the masked copy. Returns the
// engine's result unchanged (1 success, 0 failure). An exception that the
// window raised while handling an event stops the run and is raised again
// here once the engine has returned.
int32_t CallEngine(const char* sourcePath, int32_t reserved, uint32_t options,
                   const char* destFolder, EngineCallback callback, void* userData,
                   TRecoverEntry entry = &RecoverMessages);

// The EngineCallback of every recovery: userData points to a variable
// holding the window (a TEngineClient*). Returns -1 when the window's
// OnMessage answered true, else 0.
int32_t VARROW_CALL EngineEventProc(int32_t code, void* data, void* userData);

// The choices of the Options page that make up the options word.
struct TEngineChoices {
    bool useNewDir = false;
    double maxMsgCount = 10000;
    bool storeAware = true;
    bool readableNames = true;
    bool fileDates = true;
    bool skipIdentical = true;
};

// The options word: every behaviour of VARROW_OPTIONS_BEST except those
// the choices switch off (the records and the source's health are always
// asked for); bit 0 when a new folder is started each time maxMsgCount
// messages fill one; bits 16..31 maxMsgCount rounded and kept inside the
// spin field's limits.
uint32_t EngineOptions(const TEngineChoices& choices);

// One recovery of the source a display text names into destination: false
// at once, without calling the engine, when the text names no source;
// otherwise true when the engine reports success.
bool RunRecovery(TEngineClient& window, const TDriveList& drives, const QString& sourceText,
                 const QString& destination, uint32_t options,
                 TRecoverEntry entry = &RecoverMessages);

}  // namespace tolvan
