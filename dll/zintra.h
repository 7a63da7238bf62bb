/* Zintra, the programmer library: the eleven exports. Arguments are 32-bit
   integers and 8-bit strings; the caller owns every buffer. */
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

#ifdef __cplusplus
extern "C" {
#endif

ZINTRA_API int32_t ZINTRA_CALL ZintraAction(int32_t action, int32_t b, int32_t c, int32_t d);
ZINTRA_API int32_t ZINTRA_CALL ZintraActionStr(int32_t kind, int32_t slot, const char* text);
ZINTRA_API int32_t ZINTRA_CALL SetupWriteParameter(int32_t start_address, const char* path);
ZINTRA_API int32_t ZINTRA_CALL GetFlashProgress(void);
ZINTRA_API int32_t ZINTRA_CALL PackFlash(const char* boot_path, const char* ot_path,
                                         int32_t ot_offset, const char* rt_path, int32_t rt_offset,
                                         const char* output_path, int32_t repack);
ZINTRA_API int32_t ZINTRA_CALL PackSerial(const char* text, int32_t length);
ZINTRA_API int32_t ZINTRA_CALL FlashSerial(void);
ZINTRA_API int32_t ZINTRA_CALL GetSerial(char* output);
ZINTRA_API int32_t ZINTRA_CALL GetConf(int32_t table, int32_t index, int32_t width);
ZINTRA_API int32_t ZINTRA_CALL LoadConfFromFlashToBuffer(void);
ZINTRA_API int32_t ZINTRA_CALL LoadConfFromFileToBuffer(const char* path, int32_t mode);

#ifdef __cplusplus
}
#endif

#endif
