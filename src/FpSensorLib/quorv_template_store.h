// Template services of the sensor library over the algorithm core's store
// of ten finger slots: blobs in and out, sizes and version, the template
// buffer, finger deletion and template update; and the template-data
// interface that works on serialised sample sub-templates. The functions
// the driver calls are declared in quorv_sensor_lib.h.
#ifndef SRC_FPSENSORLIB_QUORV_TEMPLATE_STORE_H_
#define SRC_FPSENSORLIB_QUORV_TEMPLATE_STORE_H_

#include <stdint.h>

#include "src/features/ZqFullHMatrix.h"

#ifdef __cplusplus
extern "C" {
#endif

// Bytes of the capture buffer of quorv_GetFpImageAndTpl for sensors up to
// this many pixels; larger sensors get a buffer of their own size.
#define QUORV_CAPTURE_BUF_MIN 25600u

// --- Store --------------------------------------------------------------------
// ZqGetTplDataSize(slot): the blob's bytes, 0 for a slot above 9.
int quorv_GetAlgTplDataSize(uint16_t slot);
// ZqGetTemplateVersion(): 0x1415927d.
uint32_t quorv_GetTemplateVersion(void);
// ZqGetSubtemplatesNum(slot).
int quorv_GetSubtemplatesNum(uint8_t slot);
// Bytes of the template-buffer blob; 0 without the buffers.
int quorv_GetTempalteBufSize(void);
// Writes the template-buffer blob: 0, or -1 when a buffer is missing or a
// pointer is NULL.
int quorv_GetTempalteBufData(uint8_t *buffer, int32_t *length);
// Loads a template-buffer blob: ZqInitTempalteBufData's result (-1 also
// for a NULL pointer).
int quorv_InitTempalteBufData(uint32_t size, const uint8_t *blob, int32_t *consumed);
// With enable non-zero, ZqTemplateUpdateEnhance(). 0.
int quorv_UpdateTemplateBuffer(uint8_t enable);
// Loads a serialised sub-template as the update candidate: 0, -2 parse
// error, -1 allocation, copy failure or a length outside 0..65535.
int quorv_LoadCurrentUpdateTemplate(int16_t fingerId, int16_t subIndex, int32_t length,
                                    const uint8_t *data);
// Copies slide image number index (cols x rows bytes) into dst.
void quorv_GetSlideEnrollImage(uint8_t *dst, uint8_t index);

// --- Template data --------------------------------------------------------------
// Captures one image (mode 0 enrol gates, 1 identify gates, else none),
// copies it to imageOut and serialises its sample at data + *offset. The
// capture's result (0 or more), or a negative quorv_result_t.
int quorv_GetFpImageAndTpl(uint8_t mode, uint8_t *imageOut, int32_t *offset, uint8_t *data);
// Serialises the sample of image at data + *offset and advances *offset:
// 0, -1 NULL argument, -2 no template, -3 extraction failed, -4
// serialisation failed.
int quorv_GetImageTemplate(const uint8_t *image, int32_t *offset, uint8_t *data);
// Serialises the sample of the last identification: 0 (*length its
// bytes), -1 NULL argument, -2 no backup template, -3 serialisation failed.
int quorv_GetLastImageTemplate(int32_t *length, uint8_t *data);
// Enrols one serialised sample: 0, -1, -2, -6 must move, -7 already there.
int quorv_EnrollFrrFarByTpl(int16_t fingerId, int16_t enrollIndex, const uint8_t *data,
                            uint16_t length);
// Identifies one serialised sample against the store: 0 match, -1, -2.
int quorv_IdentifyFrrFarByTpl(uint8_t *fingerId, uint8_t *updateFlag, uint16_t length,
                              const uint8_t *data);
// Scores sample against template (both serialised): 0 when the score
// reaches threshold, -2 below it, -1 NULL argument or no sub-template, -3 /
// -4 the sample / template does not parse. *transform maps the sample onto
// the template; *overlapArea is the shared percentage of the sensor.
int quorv_VerifyTwoTemplate(uint16_t sampleLength, const uint8_t *sample, uint16_t templateLength,
                            const uint8_t *templ, int32_t threshold, ST_FullHMatrix *transform,
                            uint32_t *overlapArea);
// The same with an unsigned threshold, also reporting the score.
int quorv_VerifyTwoTemplate_v2(uint16_t sampleLength, const uint8_t *sample,
                               uint16_t templateLength, const uint8_t *templ, uint32_t threshold,
                               ST_FullHMatrix *transform, uint32_t *overlapArea, uint32_t *score);
// Percentage of a rows x cols grid that transform maps inside the grid; 0
// for a NULL transform or an empty grid.
uint32_t quorv_GetAreaOverlap(uint16_t rows, uint16_t cols, const ST_FullHMatrix *transform);

#ifdef __cplusplus
}
#endif

#endif  // SRC_FPSENSORLIB_QUORV_TEMPLATE_STORE_H_
