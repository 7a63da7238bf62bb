// Every text the window shows, asks or reports, in one place. Captions of
// the controls live in the control table (control_table.cpp).
#pragma once

#include <string_view>

namespace plexmoor::text {

// Title of every message box of the window and of the library's own.
inline constexpr std::string_view kAppTitle = "Zintra";

// The window caption: "Solvanti Plexmoor ( Ver: 1.17 )" with the version
// text cut out of the revision string.
inline constexpr std::string_view kRevision = "$Revision: 1.17 $";
inline constexpr std::string_view kMaker = "Solvanti";
inline constexpr std::string_view kProductTitle = " Plexmoor ( Ver: ";
inline constexpr std::string_view kIdleCaptionEnd = " ) ";
inline constexpr std::string_view kStatusCaptionEnd = " )";
inline constexpr std::string_view kStatusSeparator = ": Msg = ";
inline constexpr std::string_view kStatusJoin = ", ";

// Products and the tags of the controls that belong to each family.
inline constexpr std::string_view kProduct1 = "1-Orvo";
inline constexpr std::string_view kProduct2 = "2-Quarn-Lite";
inline constexpr std::string_view kTagOrvo = "Orvo";
inline constexpr std::string_view kTagQuarn = "Quarn";

// Default file names beside the program.
inline constexpr std::string_view kFlashFile = "firmware.b";
inline constexpr std::string_view kBootFile = "bootcode.b";
inline constexpr std::string_view kOtFile = "orvo_ot.b";
inline constexpr std::string_view kRtFile = "orvo_rt.b";
inline constexpr std::string_view kSettingsFile = "Glinterra.ini";

// Placeholders of the firmware table.
inline constexpr std::string_view kFwPlaceholderPath = "c:\\abc.txt";
inline constexpr std::string_view kFwPlaceholderVer = "11111";
inline constexpr std::string_view kFwPlaceholderDate = "22222";
inline constexpr std::string_view kFwPlaceholderTime = "33333";

// Flash panel.
inline constexpr std::string_view kInit = "Init";
inline constexpr std::string_view kUninit = "Uninit";
inline constexpr std::string_view kInitAfterClose = "init";
inline constexpr std::string_view kRunning = "Running, need a few minutes";
inline constexpr std::string_view kFlashComplete = "Flash Complete";
inline constexpr std::string_view kFlashError = "Flash have error";
inline constexpr std::string_view kProgressPrefix = "Flash ";
// An empty file has no share to show; the tick says what is true instead.
inline constexpr std::string_view kProgressEmptyFile = "Flash: the file is empty";
inline constexpr std::string_view kAddressNotNumber =
    "Address must be a whole decimal number from -2147483648 to 2147483647, wrong value is ";
// The station.
inline constexpr std::string_view kCommandLineProgram = "plexmoor-cli";
inline constexpr std::string_view kNoStationHere =
    "This window has no station of its own: run plexmoor-cli station IMAGE --config FILE --all "
    "beside it";
inline constexpr std::string_view kStationTitle = "Station";
inline constexpr std::string_view kStationImage = "Image:";
inline constexpr std::string_view kStationConfig = "Configuration:";
inline constexpr std::string_view kStationRecord = "Record:";
inline constexpr std::string_view kStationDefaultRecord = "(the default, beside the settings)";
inline constexpr std::string_view kStationStart = "Start";
inline constexpr std::string_view kStationStop = "Stop";
inline constexpr std::string_view kStationStopping =
    "Stopping: the boards under way are finished first";
inline constexpr std::string_view kStationEnded = "The station has ended";
inline constexpr std::string_view kStationCountPassed = "passed ";
inline constexpr std::string_view kStationCountFailed = "   failed ";
inline constexpr std::string_view kStationYield = "   yield ";
inline constexpr std::string_view kStationPerHour = "   boards an hour ";
// The result line: the operation, how it ended.
inline constexpr std::string_view kOperationFlash = "Flash";
inline constexpr std::string_view kOperationSetting = "Flash Setting";
inline constexpr std::string_view kOperationLoad = "Load from Flash";
inline constexpr std::string_view kOperationRestore = "Restore";
inline constexpr std::string_view kOperationRecover = "Write-back";
inline constexpr std::string_view kOperationParse = "Parse Setting";
inline constexpr std::string_view kOperationPack = "Pack";
inline constexpr std::string_view kOperationLoadConfig = "Load config";
inline constexpr std::string_view kOperationSaveConfig = "Save config";
inline constexpr std::string_view kResultDone = "done";
inline constexpr std::string_view kResultFailed = "failed";
inline constexpr std::string_view kResultStopped = "stopped";
inline constexpr std::string_view kResultRefused = "refused";
// Added to the status while a close waits for the run.
inline constexpr std::string_view kClosingAfterRun = ", closing when programming has ended";
// The chip, the backup, the progress.
inline constexpr std::string_view kChipIdUnread = "The chip's ID could not be read";
inline constexpr std::string_view kTimeLeft = " left";
inline constexpr std::string_view kTook = "took ";
inline constexpr std::string_view kBackingUp = "Backing up ";
inline constexpr std::string_view kStoppedAt = "Stopped at ";
inline constexpr std::string_view kAfter = " after ";
inline constexpr std::string_view kStoppedInBackup =
    "Stopped during the backup, nothing written, after ";
inline constexpr std::string_view kBackupFilter = "Backup (*.bin)|*.bin";
inline constexpr std::string_view kMapFileFilter = "Map File (*.b)|*.b";

// Firmware inputs and configuration boxes.
inline constexpr std::string_view kPosition = "position ";
inline constexpr std::string_view kMustBeNumeric = " configuration must be numeric";

// Reading a configuration back.
inline constexpr std::string_view kNoFileToParse =
    "Parse Setting reads the packed file named in \"Dest\", which is empty; nothing was read";
inline constexpr std::string_view kReadVersionWarning =
    "This Glinterra support version 2,3, others version may not work correctly";
inline constexpr std::string_view kReadVersionUnknown =
    "The configuration read holds no system version from 1 to 4, nothing was shown; found ";
inline constexpr std::string_view kReadDipUnknown =
    "The configuration read holds no FW DIP count from 1 to 3, nothing was shown; found ";

// Serial numbers.
inline constexpr std::string_view kSerialLetters = "QV";
inline constexpr std::string_view kFlashStart = "Flash Start";

// Presets.
inline constexpr std::string_view kOnlySysVer3 = "only work on sysver>=3";

// Transfer and packing.
inline constexpr std::string_view kCantPackVersion1 = "Current Glinterra can't pack version 1";
inline constexpr std::string_view kSerialTooLong = "The max serial number length is 45";
inline constexpr std::string_view kInputFileMissing = "input file not exist";
inline constexpr std::string_view kUpdateFirmwareInfo = "Please update fw version information";
inline constexpr std::string_view kStartAddressUnassigned = "Start address must be assigned";
inline constexpr std::string_view kFirmwareEntryUnset =
    "input file not exist or please update fw version information";
inline constexpr std::string_view kMaxLength10 = "Max length is 10, wrong value is ";
inline constexpr std::string_view kMustBeHex = "Input must be hex numeric,wrong value is ";
inline constexpr std::string_view kMustBeNumber = "Input must be numeric, wrong value is ";
inline constexpr std::string_view kReplaceFlashFile = "Replace current flash filename";
inline constexpr std::string_view kReleasedFileMissing =
    "Original packed firmware file must be exist, filename is ";
// A value the transfer cannot convert; the pack ends before any file is
// written.
inline constexpr std::string_view kValueRefused =
    " must hold a number that fits in 32 bits, wrong value is ";
inline constexpr std::string_view kListLine = "Line ";
inline constexpr std::string_view kListLineRefused =
    " must hold five numbers that fit their record, wrong line is ";
inline constexpr std::string_view kNothingPacked = "; nothing was packed";
// Text reaches the library one byte a character, in the Windows-1252 code page.
inline constexpr std::string_view kNotInCodePage =
    " holds a character Windows-1252 has no byte for, wrong value is ";
inline constexpr std::string_view kListTooLong =
    " holds more than the 64 lines its table has room for; nothing was packed";

// A handler that failed in a way nothing caught.
inline constexpr std::string_view kHandlerFailed = "Unexpected error in ";

// Loading the library and binding its exports.
inline constexpr std::string_view kLibraryMissing = "Cannot load the library Zintra: ";
inline constexpr std::string_view kExportMissing = "The library Zintra has no function ";
inline constexpr std::string_view kLibraryBusy =
    "The flash is being programmed; wait until it has finished before calling ";

// Settings file and the user's configuration files.
inline constexpr std::string_view kConfigFileFilter = "Config File (*.ini)|*.ini";
inline constexpr std::string_view kInputMemo = "please input the memo";
inline constexpr std::string_view kConfigFileBefore = "config file (";
inline constexpr std::string_view kConfigFileMissing = ") not exist";
inline constexpr std::string_view kConfigFileUnreadable = ") cannot be read";
inline constexpr std::string_view kConfigFileNoSettings =
    ") holds no settings line; nothing was changed";
inline constexpr std::string_view kSaveIniFail = "Save data to ini fail";

// The production record, in the window and on the command line.
inline constexpr std::string_view kReadsWithoutRecord =
    "; reads go on without their rows (said once)";
inline constexpr std::string_view kRecordUnreachableHint =
    "; to work without a record, enter none in the Record box";
inline constexpr std::string_view kHistoryTitle = "Production record";
inline constexpr std::string_view kHistoryFilter = "Filter:";
inline constexpr std::string_view kHistoryShown = " of the latest rows shown";
inline constexpr std::string_view kExportCsv = "Export CSV...";
inline constexpr std::string_view kCsvFilter = "CSV (*.csv)|*.csv";
inline constexpr std::string_view kCsvNotWritten = "The rows could not be written to ";

} // namespace plexmoor::text
