/* tallylink: the link to the NRV7350K card counting machine.
 *
 * Seven plain C functions. Each returns 1 for success and 0 for failure and
 * leaves its output arguments untouched when it fails. They are meant to be
 * called from one thread at a time. */
#ifndef TALLYLINK_H
#define TALLYLINK_H

#if defined(__GNUC__)
#define TALLYLINK_API __attribute__((visibility("default")))
#else
#define TALLYLINK_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Finds the machine's port by its friendly name and opens it. */
TALLYLINK_API int ConnectDov_Oz_Er(void);
/* Closes the link; harmless when not connected. Always 1. */
TALLYLINK_API int DisConnectDov_Oz_Er(void);
/* Reads the machine's card sum and its number of stored records. */
TALLYLINK_API int GetDov_Oz_Er_State(int* cardSum, int* recordCount);
/* Reads the stored records into values (room for 20000) and clears them on
 * the machine. *count is the number of values handed over (at most 20000).
 * A fetch that does not receive exactly the records the machine announces
 * fails and leaves the records on the machine. When the machine holds more than
 * 20000, all are read and cleared at once; the rest stay in the library
 * (also across a reconnect) and the following calls hand them out in order
 * before the machine is asked again. */
TALLYLINK_API int GetDov_Oz_Er_Record(unsigned* count, int* values);
/* Tells the machine to forget its stored records; no reply is awaited. */
TALLYLINK_API int ClearDov_Oz_Er_Count(void);
/* 1 while connected; the argument is not read. */
TALLYLINK_API int GetDov_Oz_Er_Ver(int unused);
/* Always stores 0 and returns 1. */
TALLYLINK_API int GetLastErrorCode(int* code);

/* Optional hook a host program may define and export (link it with
 * -rdynamic): the library calls it to show a port failure report in a
 * message box. Without it the report goes to standard error. */
void tallylink_show_failure(const char* text, const char* caption);

#ifdef __cplusplus
}
#endif

#endif
