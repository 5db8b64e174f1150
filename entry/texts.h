// The updater's compiled-in names and message texts, as code page 932 bytes.
#pragma once

// Mutex names. The game family name is shared with the game, its launcher and its uninstaller.
extern const char kUpdaterMutexName[];
extern const char kGameMutexName[];

// Registry key components below "Software", and the title of every message box.
extern const char kPublisher[];
extern const char kGameTitle[];
extern const char kBoxTitle[];

// Every message but the busy warning is 26 full-width characters (52 bytes), a shorter text
// filled up at its end with ideographic spaces, so that all boxes come out the same width.
extern const char kBusyWarning[];
extern const char kNotInstalledWarning[];
extern const char kConfirmationQuestion[];
extern const char kCompletionNotice[];
extern const char kDamageWarning[];
extern const char kFailureWarning[];
extern const char kListWarning[];
