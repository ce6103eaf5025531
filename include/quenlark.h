/* quenlark.h: the two functions that Quenlark.dll exports.
 *
 * Texts in and out are NUL-terminated byte strings in code page 936 (GBK).
 * A null argument is taken as the empty text.
 *
 * Results belong to the library. Do not free or change them. A result stays valid until the
 * next call of the same function (from any thread); copy it if you need it longer. An empty
 * result arrives either as a null pointer or as a pointer to an empty string: treat both as
 * "no result".
 *
 * Both functions block the calling thread until they are done. While they wait they dispatch
 * the thread's pending window messages, so your window procedures may run during a call.
 * Do not call the same function from two threads at once.
 */
#ifndef QUENLARK_H
#define QUENLARK_H

/* Hosts import the functions; the library's own build defines QUENLARK_API as empty and
 * compiles its definitions against these declarations. */
#ifndef QUENLARK_API
#define QUENLARK_API __declspec(dllimport)
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* The direct link of the file behind a share-page URL. */
QUENLARK_API char* __stdcall HttpGetUrl(const char* shareUrl);

/* The value of the Location header of URL's response (no redirect is followed). */
QUENLARK_API char* __stdcall Quenlark_Location(const char* url);

#ifdef __cplusplus
}
#endif

#endif /* QUENLARK_H */
