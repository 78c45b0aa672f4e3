// The plug-in's key file: the key text named by the AESKey setting.
#ifndef PLUGIN_COMMUNITY_KEY_FILE_H_
#define PLUGIN_COMMUNITY_KEY_FILE_H_

#ifdef __cplusplus
extern "C" {
#endif

// Longest key text taken from the key file.
#define COMMUNITY_KEY_MAX 32

// Reads the key file at `path`: a new NUL-terminated text of its first
// COMMUNITY_KEY_MAX bytes at most (cut at the first NUL byte), or NULL with
// a warning printed when it cannot serve as a key: missing or unreadable,
// not a regular file, larger than 4096 bytes, empty, or with an empty text.
char *community_internal_read_key_file(const char *path);

#ifdef __cplusplus
}
#endif

#endif  // PLUGIN_COMMUNITY_KEY_FILE_H_
