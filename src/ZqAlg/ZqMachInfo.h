// Match results: the match-report record gQuorvMachInfo, the kept scores,
// ids and transform of the last identification and update, the keypoint
// counts of the last extraction, the cut counters, their getters and
// clearers, and the text report SaveMachInfo.
#ifndef SRC_ZQALG_ZQMACHINFO_H_
#define SRC_ZQALG_ZQMACHINFO_H_

#include <stdint.h>

#include "src/features/ZqFullHMatrix.h"

#ifdef __cplusplus
extern "C" {
#endif

// Bytes of gMachInfoBuf, the terminating NUL included.
#define ZQ_MACH_INFO_BUF_SIZE 2560
// Id fields of the report that hold no id.
#define ZQ_MACH_NO_ID 255

#pragma pack(push, 1)
// The match report, packed: handed to the host byte for byte (622 bytes).
typedef struct ST_QuorvMachInfo {
  uint8_t quality;              // quality byte of the identified sample
  uint8_t area;                 // area byte of the sample (percent)
  uint8_t cond;                 // condition byte of the sample
  int32_t fingerId;             // matched finger, 255 = none
  int32_t matchIndex;           // matched sub-template, 255 = none
  int32_t extraFingerId;        // finger matched in the extra buffer, 255 = none
  int32_t extraIndex;           // its extra-buffer slot 0..63, 255 or 64 = none
  int32_t updateIndex;          // sub-template the last update changed, 255 = none
  int32_t pointNum;             // descriptor pairs of the last scoring
  int32_t ransacScore;          // inlier count of the best transform
  int32_t binScore;             // bit-image score
  int32_t recallScore;          // score after recall
  int32_t matchScore;           // score after the uniform and foreign-body checks
  int32_t sampleExtendArea;     // percent the sample adds to its finger
  int32_t updataMode;           // update path 1..6
  uint8_t matchScoreThr;        // threshold the match was measured against
  uint8_t recallEn;             // 1 when recall ran in the last scoring
  int32_t uniformSizeMaxValue;  // largest partial uniform-region size
  int32_t uniformSizeMinValue;  // smallest partial uniform-region size
  float minMaxRatio;            // largest partial size x 4 / (overlap + 1)
  int32_t uniformSize;          // uniform-region size of the overlap
  int32_t overlapsize;          // overlap in pixels
  float ration;                 // uniformSize / (overlapsize + 1)
  ST_FullHMatrix H_matrix;      // transform of the best match
  uint8_t subTempIndex[96];     // matched finger's sub-templates in search order
  int32_t subTempScore[96];     // hit count of each listed sub-template
  uint8_t subTempNum;           // number of listed sub-templates (at most 96)
  uint8_t buffEnTotalCnt;       // samples in the template buffer
  uint8_t buffEnMatchCnt;       // buffered samples that matched
  uint8_t buffEnUpdateCnt;      // buffered samples used for updates (at most 16)
  uint8_t buffUpdateIndex[16];  // sub-templates those updates changed, 255 = empty
  uint8_t extraQuality;         // fourth quality byte of the sample
  uint16_t crossCheckCode;      // last cross-check reason code other than 10
  uint16_t crossCheckCnt;       // cross-check calls that wrote such a code
} ST_QuorvMachInfo;
#pragma pack(pop)

extern ST_QuorvMachInfo gQuorvMachInfo;
extern char gMachInfoBuf[ZQ_MACH_INFO_BUF_SIZE];

extern int32_t gVerifyRet;         // the sensor library's identify result; -2 at load
extern int32_t gVerifyScores;      // best score of the last identification
extern int32_t gLastMatchScore;    // matchScore of the last identification's result
extern int32_t gVerifyScore;       // verify score, twice gVerifyScores
extern int32_t gVerifyFingerId;    // matched finger; 255 at load
extern int32_t gVerifyTemplateId;  // matched sub-template; 255 at load
extern int32_t gUpdateTemplateId;  // sub-template the last update changed; 255 at load
extern ST_FullHMatrix gMatchHmatrix;  // transform of the last match
extern int32_t maxNum;             // keypoints of the first kind, last extraction
extern int32_t minNum;             // keypoints of the second kind, last extraction
extern int32_t gMachScore;         // inlier count of the last two-template scoring
extern int32_t gNumRefusedByClassifier;  // classifier refusals of the identification
extern int32_t gMulCheckFar;       // cross-check cuts of the identification
extern int32_t gForeignBodyCutCnt; // foreign-body cuts of the identification

// Copies the record into *out: 0, or -1 for NULL.
int GetMachInfo(ST_QuorvMachInfo *out);
// Copies the record into *out; NULL is ignored.
void ZqCompyMatchInf(ST_QuorvMachInfo *out);
// Formats the report into gMachInfoBuf, stores its length in *len and
// returns the buffer; NULL for a NULL len. A report that would not fit
// ends after the last piece that fits whole.
char *SaveMachInfo(int32_t *len);
// Length of the text in gMachInfoBuf.
int32_t GetMachInfoLenght(void);
// Empties the text, resets the record (ids 255, the rest 0), maxNum and
// minNum to 0 and gVerifyRet to -2.
void ClearMachInfo(void);
// Resets the record alone: ids 255, every other field 0.
void ZqResetMachInfoRecord(void);
// gVerifyRet = ret.
void SetVerifyRet(int32_t ret);

void SaveMachScore(int32_t score);    // gMachScore = score
int32_t GetMachScore(void);           // gMachScore
void ClearMachScore(void);            // gMachScore = 0
int32_t GetNumRefusedByClassifier(void);
void ClearNumRefusedByClassifier(void);
int32_t GetmulCheckFar(void);
void ClearmulCheckFar(void);

// gVerifyScores; gLastMatchScore in algorithm mode 4 on sensor type 10.
int32_t ZqGetMatchScores(void);
void ZqClearMatchScores(void);        // gVerifyScores = 0
int32_t ZqGetVerifyScore(void);       // gVerifyScore
void ZqClearVerifyScore(void);        // gVerifyScore = 0
// Writes the low bytes of ransacScore, binScore and recallScore (NULL
// outputs are skipped) and returns the recall byte.
int ZqGetSampleVerifyScore(uint8_t *ransac, uint8_t *bin, uint8_t *recall);
// Copies gMatchHmatrix into *out: 0, or -1 for NULL.
int ZqGetMatchHmatrix(ST_FullHMatrix *out);
void ZqClearMatchHmatrix(void);       // zeroes gMatchHmatrix
int32_t ZqGetMatchFingerId(void);     // gVerifyFingerId
void ZqClearMatchFingerId(void);      // gVerifyFingerId = 0 (not 255)
int32_t ZqGetMachTemplateId(void);    // gVerifyTemplateId
void ZqClearMachTemplateId(void);     // gVerifyTemplateId = 255
int32_t ZqGetUpdateTemplateId(void);  // gUpdateTemplateId
void ZqClearUpdateTemplateId(void);   // gUpdateTemplateId = 255
// *max = maxNum, *min = minNum; NULL outputs are skipped.
void ZqGetExtremum(int32_t *max, int32_t *min);
void ZqClearExtremum(void);           // maxNum = minNum = 0
// *level = algVerifyFarLevel, *score = its match score; NULL outputs are
// skipped.
void ZqGetVerifyFarLevel(uint8_t *level, uint8_t *score);
// Do nothing.
void ZqGetTwoTemplateMatchPairKP(void);
void ZqGetSubTemplateMatchPairKP(void);
void ZqGetTemplateKP(void);

// Test hook: every value of this file back to its load state.
void ZqMachInfoResetForTest(void);

#ifdef __cplusplus
}
#endif

#endif  // SRC_ZQALG_ZQMACHINFO_H_
