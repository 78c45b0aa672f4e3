// Version texts of the algorithm core and its classifiers.
#ifndef SRC_ZQALG_ZQVERSION_H_
#define SRC_ZQALG_ZQVERSION_H_

#ifdef __cplusplus
extern "C" {
#endif

// Bytes a version text takes with its NUL; each buffer must hold as many.
#define ZQ_VERSION_TEXT_SIZE 37

// Each writes its 36-character text and the NUL into buf; NULL is ignored.
void ZqCoreVersion(char *buf);
void ZqNoneFingerVersion(char *buf);
void ZqTrueFalseFingerVersion(char *buf);
void ZqClassifierVersion(char *buf);

#ifdef __cplusplus
}
#endif

#endif  // SRC_ZQALG_ZQVERSION_H_
