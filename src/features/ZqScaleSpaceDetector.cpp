#include "src/features/ZqScaleSpaceDetector.h"

#include "src/features/ZqAlgMode.h"
#include "src/features/ZqDetectFeature.h"
#include "src/features/ZqGradientCache.h"
#include "src/features/ZqKeypointDescr.h"
#include "src/features/ZqKeypointOri.h"
#include "src/features/ZqScaleSpace.h"
#include "src/features/ZqStageClock.h"
#include "src/image/ZqMemStorage.h"
#include "src/image/ZqMemoryManager.h"
#include "src/quorv_base/quorv_log.h"

namespace {

using zq::StageClock;

// Everything one call builds; released on every path.
struct Work {
  int32_t octvs = 0, levels = 0;
  ST_Image *base = nullptr;
  ST_Image ***gauss = nullptr;
  ST_Image ***dog = nullptr;
  ST_MemStorage *storage = nullptr;
  ST_MemStorage *copyStorage = nullptr;
  ST_MemStorage *kindStorage[2] = {nullptr, nullptr};
  ST_Seq *features = nullptr;
  ST_Seq *copies = nullptr;
  ST_Seq *kinds[2] = {nullptr, nullptr};
  ST_DetectFeature *work = nullptr;

  ~Work() {
    // Records still in a sequence own their data.
    ZqFreeSeqFeatureData(features);
    ZqFreeSeqFeatureData(copies);
    ZqFreeSeqFeatureData(kinds[0]);
    ZqFreeSeqFeatureData(kinds[1]);
    ZqReleaseImage(&base);
    if (gauss != nullptr) ZqReleasePyr(&gauss, octvs, levels);
    if (dog != nullptr) ZqReleasePyr(&dog, octvs, levels);
    ZqReleaseMemStorage(&storage);
    ZqReleaseMemStorage(&copyStorage);
    ZqReleaseMemStorage(&kindStorage[0]);
    ZqReleaseMemStorage(&kindStorage[1]);
    ZqSafeFree(work);
  }
};

// A new storage and sequence of ST_DetectFeature records; false on failure.
bool NewFeatureSeq(ST_MemStorage **storage, ST_Seq **seq) {
  *storage = ZqCreateMemStorage(0);
  if (*storage == nullptr) return false;
  *seq = ZqCreateSeq(sizeof(ST_Seq), sizeof(ST_DetectFeature), *storage);
  return *seq != nullptr;
}

// Pops the last record of seq and frees its data.
void DropLast(ST_Seq *seq, ST_DetectFeature *work) {
  ZqSeqPop(seq, work);
  ZqSafeFree(work->ddata);
  work->ddata = nullptr;
}

// Runs the stages after the argument checks; counts gets the records
// written. Everything built is released when w goes out of scope.
int32_t RunStages(const char *name, bool mfb, bool fast, int32_t preCap,
                  const ST_FeatExtractPara &para, ST_Feature **feat1, ST_Feature **feat2,
                  StageClock &clock, uint32_t counts[2]) {
  int32_t ret = 0;
  Work w;
  w.octvs = para.octvs;
  w.levels = para.intvls + 3;
  w.base = ZqCreateInitImg(para.img, para.imgDbl);
  clock.Stage("ZqCreateInitImg");
  if (w.base == nullptr) {
    ret = -2;
    QUORV_LOG_IN(name, QUORV_LOG_ERROR, "%s...ZqCreateInitImg init_img == NULL, ret = %d", name,
                 ret);
    return ret;
  }
  w.gauss = ZqBuildGaussPyr(w.base, w.octvs, para.intvls);
  ZqReleaseImage(&w.base);
  clock.Stage("ZqBuildGaussPyr");
  if (w.gauss == nullptr) {
    ret = -2;
    QUORV_LOG_IN(name, QUORV_LOG_ERROR, "%s...ZqBuildGaussPyr return gaussPyr==NULL, ret = %d",
                 name, ret);
    return ret;
  }
  w.dog = ZqBuildDogPyr(w.gauss, w.octvs, para.intvls);
  clock.Stage("ZqBuildDogPyr");
  if (w.dog == nullptr) {
    ret = -2;
    QUORV_LOG_IN(name, QUORV_LOG_ERROR, "%s...ZqBuildDogPyr return dogPyr==NULL, ret = %d", name,
                 ret);
    return ret;
  }
  w.storage = ZqCreateMemStorage(0);
  clock.Stage("ZqCreateMemStorage");
  if (w.storage == nullptr) {
    ret = -2;
    QUORV_LOG_IN(name, QUORV_LOG_ERROR, "%s...ZqCreateMemStorage malloc fail, ret = %d", name,
                 ret);
    return ret;
  }
  ret = ZqScaleSpaceExtrema(w.dog, w.octvs, para.intvls, para.curvThr, &w.features, w.storage,
                            para.contrThr);
  clock.Stage("ZqScaleSpaceExtrema");
  if (ret != 0) return ret;

  w.work = static_cast<ST_DetectFeature *>(ZqSafeAlloc(sizeof(ST_DetectFeature)));
  if (w.work == nullptr) {
    ret = -2;
    QUORV_LOG_IN(name, QUORV_LOG_ERROR, "%s...feat malloc fail, ret = %d", name, ret);
    return ret;
  }
  ZqSeqSort(w.features, ZqFeatureCmp, nullptr);
  if (mfb) {
    // Only the single weakest keypoint goes, however many exceed the cap.
    if (static_cast<float>(w.features->total) > 262.5f) DropLast(w.features, w.work);
  } else {
    while (w.features->total > preCap) DropLast(w.features, w.work);
  }
  ZqCalcFeatureScales(w.features, para.intvls, para.sigma);
  clock.Stage("ZqCalcFeatureScales");
  if (para.imgDbl != 0) ZqAdjustForImgDbl(w.features);
  // The difference pyramid becomes the gradient cache of the Mfs stages;
  // the Mfb stages cache nothing.
  if (!mfb) ZqClearDogPyr(w.dog, w.octvs, para.intvls);

  const bool filters = mfb || !fast;
  if (filters && gAlgMode.kpValidRegionSwitch != 0 && para.validArea < 100) {
    ZqInValidPixelSet(w.features, para.validFlg, para.img->height, para.img->width);
  }
  if (filters && gAlgMode.badPixInValidRegion == 1) {
    ZqInValidPixelSet(w.features, para.badPixValidBitRefEn, para.img->height, para.img->width);
  }

  if (!NewFeatureSeq(&w.copyStorage, &w.copies)) {
    ret = -2;
    QUORV_LOG_IN(name, QUORV_LOG_ERROR, "%s...copies sequence malloc fail, ret = %d", name, ret);
    return ret;
  }
  if (mfb) {
    ZqCalcBriskFeatureOris(w.features, w.copies, w.gauss, w.dog);
    clock.Stage("ZqCalcBriskFeatureOris");
  } else {
    // Both stages after this read every gradient of their windows.
    ZqFillGradientCache(w.features, w.gauss, w.dog, w.octvs, para.intvls);
    clock.Stage("ZqFillGradientCache");
    ZqCalcMfsFeatureOris(w.features, w.copies, w.gauss, w.dog);
    clock.Stage("ZqCalcMfsFeatureOris");
  }

  const bool kindsOk = NewFeatureSeq(&w.kindStorage[0], &w.kinds[0]) &&
                       NewFeatureSeq(&w.kindStorage[1], &w.kinds[1]);
  if (!kindsOk) {
    ret = -2;
    QUORV_LOG_IN(name, QUORV_LOG_ERROR, "%s...kind sequences malloc fail, ret = %d", name, ret);
    return ret;
  }
  if (w.features->total + w.copies->total == 0) {
    ret = -2;
    QUORV_LOG_IN(name, QUORV_LOG_INFO, "%s...no keypoint found, ret = %d", name, ret);
    return ret;
  }
  ZqSeqSort(w.copies, ZqFeatureCmp, nullptr);
  while (w.copies->total > 0) {
    ZqSeqPopFront(w.copies, w.work);
    if (ZqSeqPush(w.features, w.work) == nullptr) ZqSafeFree(w.work->ddata);
    w.work->ddata = nullptr;
  }
  ZqReleaseMemStorage(&w.copyStorage);
  w.copies = nullptr;

  const int32_t cap = gAlgMode.kpNum;
  int32_t taken = 0;
  while (w.features->total > 0) {
    ZqSeqPopFront(w.features, w.work);
    ST_Seq *dest = taken < cap ? w.kinds[w.work->kind == 1 ? 0 : 1] : nullptr;
    if (dest == nullptr || ZqSeqPush(dest, w.work) == nullptr) ZqSafeFree(w.work->ddata);
    w.work->ddata = nullptr;
    ++taken;
  }

  ST_Feature **outs[2] = {feat1, feat2};
  for (int32_t k = 0; k < 2; ++k) {
    const int32_t n = w.kinds[k]->total;
    *outs[k] = static_cast<ST_Feature *>(ZqSafeAlloc(n * static_cast<int32_t>(sizeof(ST_Feature))));
    if (*outs[k] == nullptr) {
      ret = -2;
      if (k == 0) {
        QUORV_LOG_IN(name, QUORV_LOG_ERROR, "%s...*feat1 malloc fail", name);
      } else {
        QUORV_LOG_IN(name, QUORV_LOG_ERROR, "%s...*feat2 malloc fail", name);
      }
      return ret;
    }
    if (mfb) {
      ZqMfbDescriptors(w.kinds[k], *outs[k], w.gauss, w.levels);
    } else {
      ZqComputeDescriptors(w.kinds[k], *outs[k], w.gauss, w.dog, para.descrWidth,
                           para.descrHistBins);
      if (fast) {
        for (int32_t i = 0; i < n; ++i) {
          (*outs[k])[i].x *= para.scale;
          (*outs[k])[i].y *= para.scale;
        }
      }
    }
    counts[k] = static_cast<uint32_t>(n);
  }
  clock.Stage(mfb ? "ZqMfbDescriptors_x_2" : "ZqComputeDescriptors_x_2");
  return ret;
}

// The detector shared by both entry points; mfb selects the ring-comparison
// stages and limits.
int32_t Detect(const char *name, bool mfb, ST_Feature **feat1, ST_Feature **feat2,
               uint32_t *pextremumNum, const ST_FeatExtractPara &para) {
  if (mfb) {
    QUORV_LOG_IN(name, QUORV_LOG_DEBUG,
                 "ZqGetMfbFeatures...sigma = %f, intvls = %d, contrThr = %f, curvThr = %d",
                 static_cast<double>(para.sigma), para.intvls, static_cast<double>(para.contrThr),
                 para.curvThr);
  } else {
    QUORV_LOG_IN(name, QUORV_LOG_DEBUG,
                 "ZqGetMfsFeatures...sigma = %f, intvls = %d, contrThr = %f, curvThr = %d",
                 static_cast<double>(para.sigma), para.intvls, static_cast<double>(para.contrThr),
                 para.curvThr);
  }
  if (pextremumNum == nullptr) {
    QUORV_LOG_IN(name, QUORV_LOG_ERROR, "%s...pextremumNum == NULL", name);
    return -1;
  }
  pextremumNum[0] = 0;
  pextremumNum[1] = 0;
  if (para.img == nullptr) {
    QUORV_LOG_IN(name, QUORV_LOG_ERROR, "%s...img == NULL", name);
    return -1;
  }
  if (feat1 == nullptr) {
    QUORV_LOG_IN(name, QUORV_LOG_ERROR, "%s...feat1 == NULL", name);
    return -1;
  }
  if (feat2 == nullptr) {
    QUORV_LOG_IN(name, QUORV_LOG_ERROR, "%s...feat2 == NULL", name);
    return -1;
  }
  // A failed call leaves no stale pointer for the caller to free.
  *feat1 = nullptr;
  *feat2 = nullptr;
  const bool fast = !mfb && para.fastMode != 0;
  if (fast) {
    gAlgMode.imageMode = 16;
  } else {
    gAlgMode.imageMode = (para.img->width == 56 && para.img->height == 56) ? 0 : 4;
  }
  if (!mfb) {
    if (para.descrVariantSel == 1) gAlgMode.histToDescrVariant = 0;
    if (para.descrVariantSel == 2) gAlgMode.histToDescrVariant = 1;
  }
  if (fast) gAlgMode.kpNum = ZqGetKpNumMode4() + 10;
  const int32_t preCap = fast ? ZqGetKpNumMode4() : ZQ_SCALE_SPACE_PRE_CAP;

  if (gAlgMode.kpValidRegionSwitch == 1 && para.validFlg == nullptr) {
    QUORV_LOG_IN(name, QUORV_LOG_ERROR, "%s...validFlg == NULL", name);
    return -1;
  }
  if (gAlgMode.badPixInValidRegion == 1 && para.badPixValidBitRefEn == nullptr) {
    QUORV_LOG_IN(name, QUORV_LOG_ERROR, "%s...badPixValidBitRefEn == NULL", name);
    return -1;
  }

  StageClock clock(name);
  uint32_t counts[2] = {0, 0};
  const int32_t ret = RunStages(name, mfb, fast, preCap, para, feat1, feat2, clock, counts);
  pextremumNum[0] = counts[0];
  pextremumNum[1] = counts[1];
  clock.Total();
  QUORV_LOG_IN(name, QUORV_LOG_INFO, "%s...ret = %d, nMaxExtremum = %d, nMinExtremum = %d", name,
               ret, static_cast<int>(counts[0]), static_cast<int>(counts[1]));
  return ret;
}

}  // namespace

extern "C" int32_t ZqGetMfsFeatures(ST_Feature **feat1, ST_Feature **feat2,
                                    uint32_t pextremumNum[2], ST_FeatExtractPara para) {
  return Detect("ZqGetMfsFeatures", false, feat1, feat2, pextremumNum, para);
}

extern "C" int32_t ZqGetMfbFeatures(ST_Feature **feat1, ST_Feature **feat2,
                                    uint32_t pextremumNum[2], ST_FeatExtractPara para) {
  return Detect("ZqGetMfbFeatures", true, feat1, feat2, pextremumNum, para);
}
