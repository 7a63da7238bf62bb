// Every text the library shows or writes to the debug output, in one place.
#pragma once

namespace zintra::text {

inline constexpr const char* kCaption = "Zintra";

// Device and transfers.
inline constexpr const char* kOpenFailed = "Open usb device error";
inline constexpr const char* kResetFailed = "FT_ResetDevice error";
inline constexpr const char* kBitModeFailed = "FT_SetBitMode error";
inline constexpr const char* kTransferFailed = "FT_Write fail!";

// Flash programming.
inline constexpr const char* kFileError = "File Error";
inline constexpr const char* kWrongFirmware = "Wrong firmware, firmware binary must start from 0";
inline constexpr const char* kBlankError = "Blank error: Addr = %08x";
inline constexpr const char* kCompareError = "Compare error: Addr = %08x";
inline constexpr const char* kEraseStatus = "CD_SE status=%02x\n";
inline constexpr const char* kRewriteCounter = "\nReWrite Counter=%i";
inline constexpr const char* kPageProgrammed = "CD_PP Addr=%08x\n";

// Configuration block and packed image files.
inline constexpr const char* kLoadOpenFailed =
    "File open fail,%s may not exist or permission may not correct!";
inline constexpr const char* kPackOpenFailedV2 =
    "File open fail,file may not exist or permission may not correct!\nfiles:\nBootCode - "
    "%s\nOT - %s\nRT - %s";
inline constexpr const char* kPackOpenFailed =
    "File open fail,file may not exist or permission may not correct!\nfile: %s";
inline constexpr const char* kWriteFailed = "File write fail, filename: %s";
inline constexpr const char* kCompanionSuffix = "%s_conf";

// Serial record.
inline constexpr const char* kSerialByte = "%08x-%02x\n";

// Refusals of this library's own, where the input would otherwise be cut,
// overflow a buffer or destroy data. Add new ones below.
inline constexpr const char* kPathTooLong = "Path too long, at most %u characters: %s";

} // namespace zintra::text
