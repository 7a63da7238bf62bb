// The D2XX driver interface as the bridge vendor publishes it: plain C
// symbols, a handle that is a pointer, 32-bit status and DWORD.
#ifndef PLEXMOOR_FTD2XX_H
#define PLEXMOOR_FTD2XX_H

#include <stdint.h>

/* On Windows the types are the system's and the calls __stdcall (WINAPI)
   in a 32-bit program, as the vendor's DLL has them. */
#ifdef _WIN32
#include <windows.h>
#define FT_API WINAPI
#endif

#ifdef __cplusplus
extern "C" {
#endif

#ifndef _WIN32
#define FT_API
typedef uint32_t DWORD;
typedef DWORD* LPDWORD;
typedef void* PVOID;
typedef void* LPVOID;
typedef unsigned char UCHAR;
#endif
typedef void* FT_HANDLE;
typedef DWORD FT_STATUS;

#define FT_OK 0u
#define FT_INVALID_HANDLE 1u
#define FT_DEVICE_NOT_FOUND 2u
#define FT_DEVICE_NOT_OPENED 3u
#define FT_IO_ERROR 4u
#define FT_INSUFFICIENT_RESOURCES 5u
#define FT_INVALID_PARAMETER 6u
#define FT_INVALID_BAUD_RATE 7u
#define FT_DEVICE_NOT_OPENED_FOR_ERASE 8u
#define FT_DEVICE_NOT_OPENED_FOR_WRITE 9u
#define FT_FAILED_TO_WRITE_DEVICE 10u
#define FT_EEPROM_READ_FAILED 11u
#define FT_EEPROM_WRITE_FAILED 12u
#define FT_EEPROM_ERASE_FAILED 13u
#define FT_EEPROM_NOT_PRESENT 14u
#define FT_EEPROM_NOT_PROGRAMMED 15u
#define FT_INVALID_ARGS 16u
#define FT_NOT_SUPPORTED 17u
#define FT_OTHER_ERROR 18u

#define FT_LIST_NUMBER_ONLY 0x80000000u
#define FT_LIST_BY_INDEX 0x40000000u
#define FT_LIST_ALL 0x20000000u
#define FT_OPEN_BY_SERIAL_NUMBER 1u
#define FT_OPEN_BY_DESCRIPTION 2u

#define FT_BITMODE_RESET 0x00u
#define FT_BITMODE_MPSSE 0x02u

/* A serial number never exceeds this, terminator included. */
#define FT_SERIAL_NUMBER_SIZE 16u
/* A description never exceeds this, terminator included. */
#define FT_DESCRIPTION_SIZE 64u

FT_STATUS FT_API FT_ListDevices(PVOID pArg1, PVOID pArg2, DWORD Flags);
FT_STATUS FT_API FT_OpenEx(PVOID pArg1, DWORD Flags, FT_HANDLE* pHandle);
FT_STATUS FT_API FT_ResetDevice(FT_HANDLE ftHandle);
FT_STATUS FT_API FT_SetBitMode(FT_HANDLE ftHandle, UCHAR ucMask, UCHAR ucEnable);
FT_STATUS FT_API FT_Write(FT_HANDLE ftHandle, LPVOID lpBuffer, DWORD dwBytesToWrite,
                          LPDWORD lpBytesWritten);
FT_STATUS FT_API FT_Read(FT_HANDLE ftHandle, LPVOID lpBuffer, DWORD dwBytesToRead,
                         LPDWORD lpBytesReturned);
FT_STATUS FT_API FT_Close(FT_HANDLE ftHandle);

#ifdef __cplusplus
}
#endif

#endif
