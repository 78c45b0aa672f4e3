#include "src/ZqAlg/ZqGetTemplate.h"

#include <string.h>

#include <algorithm>

#include "src/ZqAlg/ZqImageChecks.h"
#include "src/ZqAlg/ZqMachInfo.h"
#include "src/ZqAlg/ZqMatchRecords.h"
#include "src/ZqAlg/ZqPreFilters.h"
#include "src/ZqAlg/ZqQualityWrappers.h"
#include "src/ZqAlg/ZqSensorInfor.h"
#include "src/enhance/ZqColumnStats.h"
#include "src/enhance/ZqContrastFilters.h"
#include "src/enhance/ZqGetFlag.h"
#include "src/enhance/ZqImageEnhance16u.h"
#include "src/features/ZqRepairGenBinImg.h"
#include "src/enhance/ZqStepClock.h"
#include "src/features/ZqAlgMode.h"
#include "src/features/ZqFeatExtractPara.h"
#include "src/features/ZqMatchCheck.h"
#include "src/features/ZqScaleSpaceDetector.h"
#include "src/features/ZqSift.h"
#include "src/image/ZqCommon.h"
#include "src/image/ZqImage.h"
#include "src/image/ZqScratch.h"
#include "src/image/ZqSmooth.h"
#include "src/image/ZqSpatialFilter.h"

namespace {

// Highest quality or condition byte a stored record may hold.
constexpr uint8_t kMaxRating = 100;

uint8_t gIsImproveFrr = 0;

// Owns the images and the detector's arrays of one extraction.
struct Extraction {
  ST_Image *a = nullptr, *b = nullptr, *l = nullptr;
  ST_Feature *feat1 = nullptr, *feat2 = nullptr;
  ~Extraction() {
    ZqReleaseImage(&a);
    ZqReleaseImage(&b);
    ZqReleaseImage(&l);
    ZqSafeFree(feat1);
    ZqSafeFree(feat2);
  }
};

ST_Image *NewImage(int rows, int cols) {
  const ST_Size size{rows, cols};
  return ZqCreateImage(&size, 8);
}

// Rows of a contiguous image into an ST_Image (rows may be padded).
void PutImage(ST_Image *dst, const uint8_t *src) {
  for (int y = 0; y < dst->height; ++y)
    memcpy(dst->imageData + static_cast<size_t>(y) * dst->rowBytes,
           src + static_cast<size_t>(y) * dst->width, static_cast<size_t>(dst->width));
}

void GetImage(const ST_Image *src, uint8_t *dst) {
  for (int y = 0; y < src->height; ++y)
    memcpy(dst + static_cast<size_t>(y) * src->width,
           src->imageData + static_cast<size_t>(y) * src->rowBytes,
           static_cast<size_t>(src->width));
}

void SetBit(uint8_t *map, size_t i) {
  map[i >> 3] = static_cast<uint8_t>(map[i >> 3] | (1u << (i & 7)));
}

// Marks the pixels darker than 251 (the finger's contact) in `bits`, and
// with 1 in `bytes` when it is not NULL. Returns how many there are.
size_t MarkContactPixels(const uint8_t *img, size_t n, uint8_t *bits, uint8_t *bytes) {
  size_t count = 0;
  for (size_t i = 0; i < n; ++i)
    if (img[i] < 251) {
      if (bytes != nullptr) bytes[i] = 1;
      SetBit(bits, i);
      ++count;
    }
  return count;
}

void SpaSmooth(uint8_t *img, int cols, int rows, int radius) {
  InitSPAImageSize(cols, rows);
  InitSPAMaskRadius(radius);
  InitSPAImpactFactors(0.0f);
  ZqSpaSmooth(img, 20);
}

// Stores c0 + c1 records of the two arrays in the sample. 0, -2 or -4.
int32_t StoreFeatures(ST_SubTemplate *sample, const ST_Feature *f1, uint32_t c0,
                      const ST_Feature *f2, uint32_t c1) {
  if (c0 > UINT8_MAX || c1 > UINT8_MAX) {
    QUORV_LOGE("ZqGetTemplate...nFeatureNum overflow (%u, %u), ret = %d", c0, c1,
               ZQ_ERR_FEATURE_COUNT);
    return ZQ_ERR_FEATURE_COUNT;
  }
  const uint32_t total = c0 + c1;
  sample->pTemplateFeature =
      static_cast<ST_Feature *>(ZqSafeAlloc(static_cast<int32_t>(total * sizeof(ST_Feature))));
  if (sample->pTemplateFeature == nullptr) {
    QUORV_LOGE("ZqGetTemplate...quorvTemplate->pTemplateFeature == NULL, ret = %d", ZQ_ERR_ALLOC);
    return ZQ_ERR_ALLOC;
  }
  if (c0 > 0) memcpy(sample->pTemplateFeature, f1, c0 * sizeof(ST_Feature));
  if (c1 > 0) memcpy(sample->pTemplateFeature + c0, f2, c1 * sizeof(ST_Feature));
  sample->classNum = 2;
  sample->nFeatureNum[0] = static_cast<uint8_t>(c0);
  sample->nFeatureNum[1] = static_cast<uint8_t>(c1);
  sample->featBufSize = total * ZQ_FEATURE_BYTES;
  memset(sample->coinFlg, 0, sizeof(sample->coinFlg));
  memset(sample->simpleHmatrix, 0, sizeof(sample->simpleHmatrix));
  return ZQ_OK;
}

// The bit image of img into the sample's buffer; the builder's result is
// not used.
void StoreBits(ST_SubTemplate *sample, const ST_Image *img, bool repair) {
  sample->binWordCnt = 0;
  if (sample->templateBinDiscr == nullptr) return;
  uint64_t *words = reinterpret_cast<uint64_t *>(sample->templateBinDiscr);
  uint16_t count = 0;
  int ret;
  if (repair)
    ret = ZqRepairGenBinImgForSamllSensor(img, &words, &count);
  else if (gSensorInfor.smallSensor)
    ret = ZqGenBinImgForSamllSensor(img, &words, &count);
  else
    ret = ZqGenBinImg(img, &words, &count);
  (void)ret;
  const uint32_t high = static_cast<uint32_t>(sample->binWordCnt) & 0xFFFF0000u;
  sample->binWordCnt = static_cast<int32_t>(high | count);
}

// No keypoints: the scale-space detectors report -2 with both arrays NULL,
// the fast one 0 with two empty arrays.
bool NoKeypoints(int32_t ret, const Extraction &x, const uint32_t counts[2]) {
  if (counts[0] != 0 || counts[1] != 0) return false;
  return ret >= 0 || (ret == ZQ_ERR_ALLOC && x.feat1 == nullptr && x.feat2 == nullptr);
}

}  // namespace

extern "C" {

int32_t ZqGetTemplate(uint8_t *img, ST_SubTemplate *sample, const uint8_t *quality) {
  if (img == nullptr) {
    QUORV_LOGE("ZqGetTemplate...pImageBuff = NULL, ret = %d", ZQ_ERR_PARAM);
    return ZQ_ERR_PARAM;
  }
  if (sample == nullptr) {
    QUORV_LOGE("ZqGetTemplate...quorv_template = NULL, ret = %d", ZQ_ERR_PARAM);
    return ZQ_ERR_PARAM;
  }
  zq::StepClock total;
  zq::StepClock clock;
  ZqSafeFree(sample->pTemplateFeature);
  sample->pTemplateFeature = nullptr;
  sample->featBufSize = 0;
  sample->nFeatureNum[0] = sample->nFeatureNum[1] = 0;

  const int rows = gSensorInfor.rows, cols = gSensorInfor.cols;
  const uint8_t mode = gSensorInfor.algoMode;
  const bool identifyFamily = mode == 4 || mode == 5;
  const size_t n = static_cast<size_t>(rows) * cols;
  if (gSensorInfor.imageStretch == 1) {
    ZqNonLinearStretch_U8(img, rows, cols, img);
    ZQ_LOG_STEP_TIME(clock, "ZqNonLinearStretch_U8");
  }
  const size_t maskBytes = n / 8 + 1;
  zq::ScratchStack scratch(zq::ScratchSource::kHeap);
  uint8_t *validBits = scratch.Take<uint8_t>(static_cast<int64_t>(maskBytes));
  uint8_t *badBits = scratch.Take<uint8_t>(static_cast<int64_t>(maskBytes));
  uint8_t *validBytes = scratch.Take<uint8_t>(static_cast<int64_t>(n));
  uint8_t *badBytes = scratch.Take<uint8_t>(static_cast<int64_t>(n));
  uint8_t *flagA = scratch.Take<uint8_t>(static_cast<int64_t>(n));
  uint8_t *flagB = scratch.Take<uint8_t>(static_cast<int64_t>(n));
  if (validBits == nullptr || badBits == nullptr || validBytes == nullptr || badBytes == nullptr ||
      flagA == nullptr || flagB == nullptr) {
    QUORV_LOGE("ZqGetTemplate...ZqSafeAlloc = NULL, ret = %d", ZQ_ERR_ALLOC);
    return ZQ_ERR_ALLOC;
  }
  Extraction x;
  x.a = NewImage(rows, cols);
  x.b = NewImage(rows, cols);
  x.l = NewImage(rows * 3 / 2, cols * 3 / 2);
  if (x.a == nullptr || x.b == nullptr || x.l == nullptr) {
    QUORV_LOGE("ZqGetTemplate...ZqCreateImage() = NULL, ret = %d", ZQ_ERR_ALLOC);
    return ZQ_ERR_ALLOC;
  }
  QUORV_LOGV("ZqGetTemplate...templatePixValid sucess!");

  uint8_t q[ZQ_QUALITY_BYTES] = {};
  if (quality != nullptr) {
    memcpy(q, quality, sizeof(q));
  } else {
    ZqGetImageQualityInter(img, nullptr, q);
    ZQ_LOG_STEP_TIME(clock, "ZqGetImageQualityInter");
  }

  const size_t validCnt = MarkContactPixels(img, n, validBits, validBytes);
  if (gSensorInfor.algBadPixBitRef == 1) {
    ZqBadPixselDetect(img, static_cast<uint16_t>(rows), static_cast<uint16_t>(cols), badBytes);
    for (size_t i = 0; i < n; ++i)
      if (badBytes[i] == 1) SetBit(badBits, i);
    ZQ_LOG_STEP_TIME(clock, "ZqBadPixselDetect");
  }

  size_t bothCnt = 0, bCnt = 0;
  int32_t ret;
  if (identifyFamily) {
    memcpy(flagA, img, n);
  } else {
    ret = ZqGetFlag(img, rows, cols, flagA, flagB);
    if (ret != 0) return ret;
    for (size_t i = 0; i < n; ++i) {
      bothCnt += flagA[i] == 1 && flagB[i] == 1;
      bCnt += flagB[i] == 1;
    }
  }
  if (identifyFamily && gIsImproveFrr == 0) {
    ret = ZqNormalizeAndEnhance(img, rows, cols);
    if (ret != 0) {
      QUORV_LOGE("ZqGetTemplate...ZqNormalizeAndEnhance err, ret = %d", ret);
      return ret;
    }
  }
  if (gSensorInfor.spaFilterEn == 1) {
    SpaSmooth(img, cols, rows, mode == 3 ? 4 : 5);
    ZQ_LOG_STEP_TIME(clock, "ZqSpaSmooth");
    if (identifyFamily) {
      ret = ZqLocalContrastEnhance(img, rows, cols, 7);
      if (ret != 0) {
        QUORV_LOGE("ZqGetTemplate...ZqLocalContrastEnhance err, ret = %d", ret);
        return ret;
      }
      ZQ_LOG_STEP_TIME(clock, "ZqLocalContrastEnhance");
    }
  }
  PutImage(x.b, img);

  if (!identifyFamily) {
    const size_t w = static_cast<size_t>(static_cast<int64_t>(static_cast<double>(n) * 0.9));
    const size_t d = static_cast<size_t>(static_cast<int64_t>(static_cast<double>(n) * 0.2));
    const size_t diff = validCnt > bothCnt ? validCnt - bothCnt : bothCnt - validCnt;
    if ((validCnt < w && bothCnt < w) || diff > d) {
      for (size_t i = 0; i < n; ++i)
        if (!validBytes[i]) img[i] = 128;
    } else {
      const bool both = bCnt < w;
      memset(validBits, 0, maskBytes);
      for (size_t i = 0; i < n; ++i) {
        const bool keep = both ? (flagA[i] && flagB[i]) : flagA[i] != 0;
        if (keep)
          SetBit(validBits, i);
        else
          img[i] = 128;
      }
    }
  } else {
    memset(validBits, 0, maskBytes);
    ret = ZqGrayMeanSub(flagA, rows, cols, 11);
    if (ret != 0) {
      QUORV_LOGE("%s...ZqGrayMeanSub err, ret = %d", __func__, ret);
      return ret;
    }
    ZQ_LOG_STEP_TIME(clock, "ZqGrayMeanSub");
    ret = ZqSegmentByLocalVariance(flagA, rows, cols, 9, flagB, 9.0f);
    if (ret != 0) {
      QUORV_LOGE("%s...ZqSegmentByLocalVariance err, ret = %d", __func__, ret);
      return ret;
    }
    ZQ_LOG_STEP_TIME(clock, "ZqSegmentByLocalVariance");
    for (size_t i = 0; i < n; ++i)
      if (flagB[i] != 0 && validBytes[i]) SetBit(validBits, i);
    if (mode == 5)
      for (size_t i = 0; i < n; ++i)
        if (!validBytes[i]) img[i] = 128;
  }
  if (gQuorvTempupdateInfor != nullptr) gQuorvTempupdateInfor->imageArea = q[1];

  PutImage(x.a, img);
  QUORV_LOGV(
      "ZqGetTemplate...gAlgInfor.intvls = %d, gAlgInfor.sigma = %f, gAlgInfor.contrThr = %f, "
      "gAlgInfor.curvThr = %d",
      gAlgInfor.intvls, static_cast<double>(gAlgInfor.sigma),
      static_cast<double>(gAlgInfor.contrThr), gAlgInfor.curvThr);
  ST_FeatExtractPara para{};
  para.intvls = gAlgInfor.intvls;
  para.sigma = gAlgInfor.sigma;
  para.contrThr = gAlgInfor.contrThr;
  para.curvThr = gAlgInfor.curvThr;
  para.imgDbl = 1;
  para.descrWidth = 4;
  para.descrHistBins = 8;
  para.img = x.a;
  para.octvs = 2;
  para.validArea = q[1];
  para.validFlg = validBits;
  para.badPixValidBitRefEn = badBits;
  para.algoMode = mode;
  para.sensorCols = static_cast<uint8_t>(cols);
  para.fastMode = 0;
  para.scale = 1.0f;
  uint32_t counts[2] = {0, 0};
  switch (mode) {
    case 1:
      para.descrVariantSel = 0;
      ret = ZqGetMfbFeatures(&x.feat1, &x.feat2, counts, para);
      break;
    case 4:
      x.l->rowBytes = x.l->width;
      ZqResize_8u(x.a->imageData, rows, cols, x.l->imageData, x.l->height, x.l->width);
      para.img = x.l;
      para.imgDbl = 0;
      para.octvs = 1;
      para.fastMode = 1;
      para.scale = 0.667f;
      para.descrVariantSel = 1;
      ret = ZqGetMfsFeatures(&x.feat1, &x.feat2, counts, para);
      break;
    case 5:
      para.validFlg = validBytes;
      ret = ZqGetMfsFeatures_v2(&x.feat1, &x.feat2, counts, para);
      break;
    default:
      para.descrVariantSel = mode == 2 ? 1 : mode == 3 ? 2 : 0;
      ret = ZqGetMfsFeatures(&x.feat1, &x.feat2, counts, para);
      break;
  }
  ZQ_LOG_STEP_TIME(clock, "ZqGetMfsFeatures");
  if (NoKeypoints(ret, x, counts)) {
    ret = ZQ_ERR_STEP;
    QUORV_LOGE("ZqGetTemplate...(featSamp1 == NULL) && (featSamp2 == NULL), ret = %d", ret);
    return ret;
  }
  if (ret < 0) {
    QUORV_LOGE("ZqGetTemplate...ZqGetFeatures error, ret = %d", ret);
    return ret;
  }
  maxNum = static_cast<int32_t>(counts[0]);
  minNum = static_cast<int32_t>(counts[1]);
  QUORV_LOGV("ZqGetTemplate...ZqGetMfsFeatures sucess!");

  const int32_t stored = StoreFeatures(sample, x.feat1, counts[0], x.feat2, counts[1]);
  if (stored != 0) return stored;
  if (sample->templatePixValid != nullptr)
    memcpy(sample->templatePixValid, validBits, std::min<size_t>(maskBytes, sample->maskBufSize));
  // A stored record holds quality and condition in 0..100, the range every
  // blob reader accepts; a rating above it counts as 100.
  if (q[0] > kMaxRating || q[2] > kMaxRating) {
    QUORV_LOGW("ZqGetTemplate...Quality = %d, Condition = %d above %d, taken as %d", q[0], q[2],
               kMaxRating, kMaxRating);
  }
  sample->templateQuality = std::min(q[0], kMaxRating);
  sample->templateArea = q[1];
  sample->templateCond = std::min(q[2], kMaxRating);
  sample->templateExtra = q[3];
  QUORV_LOGI("ZqGetTemplate...Area = %d, Quality = %d, Condition = %d", q[1], q[0], q[2]);

  if (identifyFamily) {
    uint8_t *plain = badBytes;  // free by now: the contiguous copy of A
    GetImage(x.a, plain);
    ret = f4851_image_enhance(plain, rows, cols);
    if (ret != 0) {
      QUORV_LOGE("%s...f4851_image_enhance err, ret = %d", __func__, ret);
      return ret;
    }
    PutImage(x.a, plain);
  }
  if (gSensorInfor.binImageEnhance != 0)
    StoreBits(sample, x.b, true);
  else
    StoreBits(sample, x.a, false);
  ZQ_LOG_STEP_TIME(clock, "ZqGenBinImg");
  ZQ_LOG_TOTAL_TIME(total, "total");
  QUORV_LOGI("%s...leave, ret = %d", __func__, ret);
  return ret;
}

int32_t ZqGetTemplateForEnroll(uint8_t *img, ST_SubTemplate *sample) {
  if (img == nullptr) {
    QUORV_LOGE("ZqGetTemplate...pImageBuff = NULL, ret = %d", ZQ_ERR_PARAM);
    return ZQ_ERR_PARAM;
  }
  if (sample == nullptr) {
    QUORV_LOGE("ZqGetTemplate...quorv_template = NULL, ret = %d", ZQ_ERR_PARAM);
    return ZQ_ERR_PARAM;
  }
  ZqSafeFree(sample->pTemplateFeature);
  sample->pTemplateFeature = nullptr;
  sample->featBufSize = 0;
  sample->nFeatureNum[0] = sample->nFeatureNum[1] = 0;
  const int rows = gSensorInfor.rows, cols = gSensorInfor.cols;
  const uint8_t mode = gSensorInfor.algoMode;
  // The contact mask of the image as captured, kept with the features as
  // the full extraction keeps it: without it a slide sample would carry the
  // previous image's mask (or none), and overlap no other sample.
  const size_t n = static_cast<size_t>(rows) * cols;
  const size_t maskBytes = n / 8 + 1;
  zq::ScratchStack scratch(zq::ScratchSource::kHeap);
  uint8_t *contact = scratch.Take<uint8_t>(static_cast<int64_t>(maskBytes));
  if (contact == nullptr) {
    QUORV_LOGE("ZqGetTemplate...ZqSafeAlloc = NULL, ret = %d", ZQ_ERR_PARAM);
    return ZQ_ERR_PARAM;
  }
  MarkContactPixels(img, n, contact, nullptr);
  if (gSensorInfor.spaFilterEn == 1) SpaSmooth(img, cols, rows, 5);
  Extraction x;
  x.a = NewImage(rows, cols);
  if (x.a == nullptr) {
    QUORV_LOGE("ZqGetTemplate...ZqCreateImage() = NULL, ret = %d", ZQ_ERR_PARAM);
    return ZQ_ERR_PARAM;
  }
  PutImage(x.a, img);
  QUORV_LOGV(
      "ZqGetTemplate...gAlgInfor.intvls = %d, gAlgInfor.sigma = %f, gAlgInfor.contrThr = %f, "
      "gAlgInfor.curvThr = %d",
      gAlgInfor.intvls, static_cast<double>(gAlgInfor.sigma),
      static_cast<double>(gAlgInfor.contrThr), gAlgInfor.curvThr);
  ST_FeatExtractPara para{};
  para.intvls = gAlgInfor.intvls;
  para.sigma = gAlgInfor.sigma;
  para.contrThr = 0.04f;
  para.curvThr = 15;
  para.imgDbl = 1;
  para.descrWidth = 4;
  para.descrHistBins = 8;
  para.img = x.a;
  para.octvs = 1;
  para.validArea = 50;
  para.descrVariantSel = (mode >= 2 && mode <= 4) ? 1 : 0;
  para.algoMode = mode;
  para.sensorCols = static_cast<uint8_t>(cols);
  para.scale = 1.0f;

  const uint16_t savedCap = ZqGetKpNum();
  const uint8_t savedRegion = ZqGetKpValidRegionSwitch();
  const uint8_t savedBad = ZqGetBadPixInValidRegion();
  ZqKpNumSet(50);
  ZqObtainKeyPointInValidRegion(0);
  ZqSetBadPixInValidRegion(0);
  uint32_t counts[2] = {0, 0};
  int32_t ret = 0;
  if (mode == 1)
    ret = ZqGetMfbFeatures(&x.feat1, &x.feat2, counts, para);
  else if (mode != 5)
    ret = ZqGetMfsFeatures(&x.feat1, &x.feat2, counts, para);
  ZqKpNumSet(savedCap);
  ZqObtainKeyPointInValidRegion(savedRegion);
  ZqSetBadPixInValidRegion(savedBad);

  if (NoKeypoints(ret, x, counts)) {
    QUORV_LOGE("ZqGetTemplate...(featSamp1 == NULL) && (featSamp2 == NULL), ret = %d",
               ZQ_ERR_PARAM);
    return ZQ_ERR_PARAM;
  }
  if (ret < 0) {
    QUORV_LOGE("ZqGetTemplate...ZqGetFeatures error, ret = %d", ret);
    return ret;
  }
  QUORV_LOGV("ZqGetTemplate...ZqGetMfsFeatures sucess!");
  const int32_t stored = StoreFeatures(sample, x.feat1, counts[0], x.feat2, counts[1]);
  if (stored != 0) return stored;
  if (sample->templatePixValid != nullptr)
    memcpy(sample->templatePixValid, contact, std::min<size_t>(maskBytes, sample->maskBufSize));
  StoreBits(sample, x.a, false);
  return ret;
}

void ZqSetImproveFRRFlag(uint8_t flag) { gIsImproveFrr = flag; }

uint8_t ZqGetImproveFRRFlag(void) { return gIsImproveFrr; }

uint8_t ZqJudgeIsNeedToReIdentify(void) {
  return (gSensorInfor.algoMode == 4 || gSensorInfor.algoMode == 5) ? 1 : 0;
}

void ZqGetTemplateResetForTest(void) { gIsImproveFrr = 0; }

}  // extern "C"
