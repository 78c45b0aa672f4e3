// The parameters of one keypoint extraction, handed to a detector by value.
#ifndef SRC_FEATURES_ZQFEATEXTRACTPARA_H_
#define SRC_FEATURES_ZQFEATEXTRACTPARA_H_

#include <stdint.h>

#include "src/image/ZqImage.h"

#ifdef __cplusplus
extern "C" {
#endif

// Filled by the sample-extraction front end; fields in this order.
typedef struct ST_FeatExtractPara {
  int32_t intvls;                // intervals per octave (3)
  float sigma;                   // base smoothing scale (1.6)
  float contrThr;                // contrast threshold (0.02; 0.04 slide enrolment)
  int32_t curvThr;               // principal-curvature ratio threshold (15)
  int32_t imgDbl;                // 1: double the image first; 0: not (fast mode)
  int32_t descrWidth;            // descriptor cells per side (4)
  int32_t descrHistBins;         // orientation bins per cell (8)
  ST_Image *img;                 // the 8-bit sample image
  uint8_t octvs;                 // octaves (2; 1 slide enrolment and fast mode)
  uint8_t validArea;             // valid-area percentage 0 .. 100; filter below 100
  uint8_t *validFlg;             // 1 bit a pixel: where keypoints may lie
  uint8_t *badPixValidBitRefEn;  // 1 bit a pixel: pixels not flagged as bad
  uint8_t descrVariantSel;       // 1: histToDescrVariant = 0; 2: = 1; else unchanged
  uint8_t algoMode;              // front end's algorithm mode (not read)
  uint8_t sensorCols;            // low byte of the sensor column count (not read)
  uint8_t fastMode;              // nonzero: fast mode of the scale-space detector
  float scale;                   // output x, y factor in fast mode (1.0; 0.667)
} ST_FeatExtractPara;

#ifdef __cplusplus
}
#endif

#endif  // SRC_FEATURES_ZQFEATEXTRACTPARA_H_
