/* Zintra, the programmer library: the eleven exports and the flash panel's
   additions. Arguments are 32-bit integers and 8-bit strings; the caller
   owns every buffer. */
#ifndef ZINTRA_H
#define ZINTRA_H

#include <stdint.h>

#if defined(_WIN32) && !defined(_WIN64)
#define ZINTRA_CALL __stdcall
#else
#define ZINTRA_CALL
#endif

#if defined(_WIN32)
#define ZINTRA_API __declspec(dllexport)
#else
#define ZINTRA_API __attribute__((visibility("default")))
#endif

/* The version of this interface, which ZintraVersion gives: 1 the eleven
   exports; 2 the chip, backup, stop, fast mode, parts, recovery copy and
   bridge additions; 3 ZintraVersion, ZintraReadFlash, ZintraBoardSerial,
   ZintraWriteProtection, ZintraRecoveryCopyAt and the board's identity
   beside a recovery copy. Raised with every addition, never lowered. */
#define ZINTRA_API_VERSION 3

#ifdef __cplusplus
extern "C" {
#endif

/* The action codes of ZintraAction(action, b, c, d). Any other code does
   nothing and returns 1. */
enum ZintraActionCode {
    ZINTRA_PROBE_ID_LOOP = 1,       /* reads the JEDEC ID over and over (bounded) */
    ZINTRA_OPEN_PROGRAMMER = 2,     /* 1 open, 0 failed; clears tables and paths */
    ZINTRA_CLOSE_PROGRAMMER = 3,    /* 1 */
    ZINTRA_PROGRAM_FLASH = 4,       /* b = 1: first-byte check; c, d unused; 1 done, 0 failed */
    ZINTRA_SET_PORT_FIELD = 5,      /* b index, c value, d width (version 4); table 2 */
    ZINTRA_READ_FLASH_ID = 6,       /* keeps the manufacturer byte; 1 */
    ZINTRA_SET_HEADER_FIELD = 7,    /* as 5, table 0 */
    ZINTRA_SET_GROUP_FIELD = 8,     /* as 5, table 1 (version 3: b + group index) */
    ZINTRA_SELECT_GROUP = 9,        /* group index := b; 1 */
    ZINTRA_SET_SYSTEM_VERSION = 10, /* b = version; 0 when b <= 1 */
    ZINTRA_SET_GROUP_FIELD_2 = 11,  /* exactly as 8 */
    ZINTRA_SET_TABLE3_FIELD = 12,   /* version 4 only: b byte index, c value, d width */
    ZINTRA_SET_TABLE4_FIELD = 13,
    ZINTRA_SET_TABLE5_FIELD = 14,
    ZINTRA_SET_TABLE6_FIELD = 15,
    ZINTRA_SET_TABLE7_FIELD = 16
};

/* The table numbers of GetConf. */
enum ZintraTable {
    ZINTRA_TABLE_HEADER = 0,
    ZINTRA_TABLE_GROUP = 1,
    ZINTRA_TABLE_PORT = 2,
    ZINTRA_TABLE_3 = 3,
    ZINTRA_TABLE_4 = 4,
    ZINTRA_TABLE_5 = 5,
    ZINTRA_TABLE_6 = 6,
    ZINTRA_TABLE_7 = 7
};

/* The kind of ZintraActionStr that stores a path; any other kind does nothing. */
#define ZINTRA_STORE_PATH 1

/* action, b, c, d: see ZintraActionCode; the result per action. */
ZINTRA_API int32_t ZINTRA_CALL ZintraAction(int32_t action, int32_t b, int32_t c, int32_t d);
/* kind ZINTRA_STORE_PATH copies text into path slot 0-8; 1, or 0 for a text too long. */
ZINTRA_API int32_t ZINTRA_CALL ZintraActionStr(int32_t kind, int32_t slot, const char* text);
/* The start address and file of the next program flash; 1, or 0 for a path too long. */
ZINTRA_API int32_t ZINTRA_CALL SetupWriteParameter(int32_t start_address, const char* path);
/* The flash address of the chunk being programmed (start + 4096 per chunk done). */
ZINTRA_API int32_t ZINTRA_CALL GetFlashProgress(void);
/* Packs the image of the current system version into output_path; the paths and
   offsets are used by version 2, the path slots by 3 and 4; 1 written, 0 failed. */
ZINTRA_API int32_t ZINTRA_CALL PackFlash(const char* boot_path, const char* ot_path,
                                         int32_t ot_offset, const char* rt_path, int32_t rt_offset,
                                         const char* output_path, int32_t repack);
/* Copies length (at most 45) bytes of text into the serial field; 1, or 0 refused. */
ZINTRA_API int32_t ZINTRA_CALL PackSerial(const char* text, int32_t length);
/* Writes the configuration block into the flash at 0x10000; 1 verified, 0 failed. */
ZINTRA_API int32_t ZINTRA_CALL FlashSerial(void);
/* Copies the serial field into output (44 bytes, zero padded); 1. */
ZINTRA_API int32_t ZINTRA_CALL GetSerial(char* output);
/* The value at index (and width, version 4) of a table (ZintraTable), or 0. */
ZINTRA_API int32_t ZINTRA_CALL GetConf(int32_t table, int32_t index, int32_t width);
/* Fills the tables from the board's flash (versions 2 and 3); 1. */
ZINTRA_API int32_t ZINTRA_CALL LoadConfFromFlashToBuffer(void);
/* Loads a packed image; mode 1 takes the version from its header, any other
   mode means version 4; 1 loaded, 0 refused. */
ZINTRA_API int32_t ZINTRA_CALL LoadConfFromFileToBuffer(const char* path, int32_t mode);

/* Additions beside the eleven; a caller binds them by name and goes on
   without them where a library lacks them. */
/* The JEDEC ID, 3 bytes into id; 1 read, 0 failed (shown), no programmer open or programming. */
ZINTRA_API int32_t ZINTRA_CALL ZintraChipId(uint8_t* id);
/* Flash [address, address + length) into path, read twice, read back; 1 exact, 0 with a message.
   Pumps messages while it reads; GetFlashProgress gives the address being read (through the
   range once to write, once more to compare); other exports but ZintraStop are refused. */
ZINTRA_API int32_t ZINTRA_CALL ZintraBackupFlash(const char* path, int32_t address, int32_t length);
/* Asks a running program flash or backup to stop at its next page, erase or
   read; 1 when one was running, 0 otherwise. */
ZINTRA_API int32_t ZINTRA_CALL ZintraStop(void);
/* Program flash of the file set by SetupWriteParameter, fast: the same bytes
   written and verified, the busy bit polled instead of fixed waits, what the
   flash already holds left alone. first_byte_check as b of action 4;
   clock_mhz 30 (bridges with the 60 MHz clock only), 15, 6 or 3, or 0 for
   15 MHz where the bridge has the 60 MHz clock and 3 MHz elsewhere. 1 done,
   0 failed or refused (with a message). */
ZINTRA_API int32_t ZINTRA_CALL ZintraProgramFast(int32_t first_byte_check, int32_t clock_mhz);
/* The family name of the 3-byte JEDEC ID into family (empty when the part is
   not known; at most size bytes with the terminator, empty when the name does
   not fit); the capacity in KiB from the parts table or the capacity byte, 0
   when neither gives one. */
ZINTRA_API int32_t ZINTRA_CALL ZintraChipFamily(const uint8_t* id, char* family, int32_t size);
/* The full path of the oldest copy of a flash block an interrupted
   FlashSerial left (zintra-flash-ADDRESS-DATE-TIME.bin, beside the library or
   in the user's state folder) into path; 1, or 0 when there is none or its
   path does not fit in size bytes with the terminator. */
ZINTRA_API int32_t ZINTRA_CALL ZintraRecoveryCopy(char* path, int32_t size);
/* The bridge every later open of the programmer uses, by its USB serial
   number; NULL or "" for the first bridge listed, as without this call. 1, or
   0 refused (longer than a serial number can be, or while programming). */
ZINTRA_API int32_t ZINTRA_CALL ZintraSelectBridge(const char* serial);
/* The number of bridges attached; for an index below it, that bridge's serial
   number and description into serial and description (size bytes each with
   the terminator; a text that does not fit is left empty). 0 while programming. */
ZINTRA_API int32_t ZINTRA_CALL ZintraListBridges(int32_t index, char* serial, char* description,
                                                 int32_t size);

/* ZINTRA_API_VERSION of the library's build: a caller asks for this rather
   than probing exports by name. */
ZINTRA_API int32_t ZINTRA_CALL ZintraVersion(void);
/* length bytes (0 to 16 MiB) of the flash from address into buffer, each
   page read once; 1 read, 0 failed (shown), no programmer open or programming. */
ZINTRA_API int32_t ZINTRA_CALL ZintraReadFlash(int32_t address, uint8_t* buffer, int32_t length);
/* The serial the configuration block in the flash holds, all 45 characters
   as written (GetSerial gives 44), in the layout of the system version set
   (2 or 3), into serial (size bytes with the
   terminator; empty for an erased field); 1, or 0 when it could not be read,
   would not fit, or the version keeps no serial in the flash. The tables
   are not touched. */
ZINTRA_API int32_t ZINTRA_CALL ZintraBoardSerial(char* serial, int32_t size);
/* The chip's status register into status (may be NULL); 1 when a block
   protect or the status-write-disable bit is set, 0 when none is, -1 when
   it could not be read (all ones: no chip drives the line), no programmer
   open or programming. */
ZINTRA_API int32_t ZINTRA_CALL ZintraWriteProtection(int32_t* status);
/* The number of recovery copies waiting (as ZintraRecoveryCopy finds them),
   and for an index below it that copy's full path into path (oldest first;
   left empty when it does not fit in size bytes with the terminator). Beside
   each copy NAME, NAME.board tells the board it came from (see
   recovery_identity.h); a copy without one is of a board unknown. */
ZINTRA_API int32_t ZINTRA_CALL ZintraRecoveryCopyAt(int32_t index, char* path, int32_t size);

#ifdef __cplusplus
}
#endif

#endif
