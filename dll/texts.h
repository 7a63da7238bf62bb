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
inline constexpr const char* kEraseFailed = "Erase did not finish: Addr = %08x";

// Fast programming.
inline constexpr const char* kClockRaised =
    "Fast programming: the bridge has the 60 MHz clock, SPI clock %u MHz\n";
inline constexpr const char* kClockKept =
    "Fast programming: the bridge answered 0x8A as a bad command, SPI clock stays %u MHz\n";
inline constexpr const char* kClockUnknown =
    "Fast programming: the bridge did not answer the clock probe, SPI clock %u MHz\n";
inline constexpr const char* kClockSlow =
    "Fast programming: the bridge has no 60 MHz clock, SPI clock %u MHz\n";
inline constexpr const char* kFastClockUnavailable =
    "The bridge has no 60 MHz clock, so the SPI clock cannot be %u MHz; nothing was erased or "
    "programmed";
inline constexpr const char* kFastClockRefused =
    "SPI clock %d MHz refused: fast programming runs at 30, 15, 6 or 3 MHz, or 0 for the default";
inline constexpr const char* kFastBlock = "Fast programming: block %08x %s\n";
inline constexpr const char* kFastBlockSame = "holds the bytes, left alone";
inline constexpr const char* kFastBlockBlank = "is blank, not erased";
inline constexpr const char* kFastBlockErased = "erased";
inline constexpr const char* kFastBusyBefore =
    "The flash stays busy; nothing was erased or programmed";
inline constexpr const char* kFastNoStatus =
    "The flash's status could not be read; nothing was erased or programmed";
inline constexpr const char* kFastBusyAfter =
    "The flash was still busy %u ms after the %s at %08x; programming stopped there";
inline constexpr const char* kFastPageProgram = "page program";
inline constexpr const char* kFastBlockErase = "block erase";
inline constexpr const char* kStopped =
    "Stopped at %08x: the board holds a partial image from %08x";

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
inline constexpr const char* kStartAddressInvalid =
    "Start address %08x refused: it must be a multiple of 256 and the file must end below "
    "address 0x1000000";
inline constexpr const char* kFileLargerThanChip =
    "The file does not fit in the flash: its %llu bytes from address %08x need %llu bytes and "
    "would end at 0x%08llx, the chip holds %llu bytes; nothing was erased";

// Configuration block, packed image and serial record refusals.
inline constexpr const char* kLoadTooLarge = "File too large, at most %u bytes: %s";
inline constexpr const char* kLoadTooShort =
    "File too short, at least %u bytes needed for this mode: %s";
inline constexpr const char* kPartTooLarge =
    "Part does not fit in the %u-byte image at offset %08x: %s";
inline constexpr const char* kPartsOverlap = "Parts overlap in the image:\n%s\n%s";
inline constexpr const char* kTooManyImages =
    "Too many firmware images: header field 2 is %u, at most %u";
inline constexpr const char* kPortBlocksTooLarge =
    "Port block size %u too large: 8 blocks of it do not fit in the port table";
inline constexpr const char* kNothingToRepack = "No image loaded to repack";
inline constexpr const char* kSerialVersion =
    "Serial flash works in system version 2 or 3 only, current version is %d";
inline constexpr const char* kLoadBusy =
    "The flash stays busy; the configuration was not read and the tables are unchanged";
inline constexpr const char* kLoadReadFailed =
    "Could not read the configuration block at %08x; the tables are unchanged";
inline constexpr const char* kLoadReadsDiffer =
    "The configuration block reads differently twice at %08x; the tables are unchanged";
inline constexpr const char* kSerialReadFailed =
    "Could not read the flash block at %08x; nothing was erased";
inline constexpr const char* kSerialBusy =
    "The flash stays busy; the block at %08x was not read and nothing was erased";
inline constexpr const char* kSerialReadsDiffer =
    "The flash block at %08x reads differently twice at %08x; nothing was erased";
inline constexpr const char* kRecoveryFailed =
    "Could not save the flash block at %08x to %s; nothing was erased";
inline constexpr const char* kSerialIncomplete =
    "The configuration block was not written completely: %u bytes of the flash block at %08x "
    "did not read back as written, from %08x to %08x. The block as it was before is saved in "
    "%s";

// Flash backup.
inline constexpr const char* kBackupRefused =
    "Backup to %s refused: the address must not be negative and the length must be a positive "
    "multiple of 256, inside the flash's %llu bytes";
inline constexpr const char* kBackupNotOpen = "Backup to %s refused: no programmer is open";
inline constexpr const char* kBackupCreateFailed =
    "Could not create the backup %s; nothing was read";
inline constexpr const char* kBackupExists =
    "The backup %s exists already and is kept; nothing was written to it";
inline constexpr const char* kBackupBusy = "The flash stays busy; nothing was written to %s";
inline constexpr const char* kBackupReadFailed =
    "Could not read the flash at %08x; nothing was written to %s";
inline constexpr const char* kBackupReadsDiffer =
    "The flash reads differently twice at %08x, or the backup did not keep what was read; "
    "nothing was written to %s";
inline constexpr const char* kBackupStopped =
    "Backup stopped at %08x: nothing was written to %s and nothing was erased";
inline constexpr const char* kBackupWriteFailed =
    "Could not write the backup %s whole; nothing was written to it";

} // namespace zintra::text
