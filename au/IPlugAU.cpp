#include "au/IPlugAU.h"

IPlugAU::IPlugAU(IPlugInstanceInfo instanceInfo, int nParams, const char* channelIOStr, int nPresets,
                 const char* effectName, const char* productName, const char* mfrName, int vendorVersion,
                 int uniqueID, int mfrID, int latency, bool plugDoesMidi, bool plugDoesChunks,
                 bool plugIsInst, int /*plugScChans*/)
  : IPlugBase(nParams, channelIOStr, nPresets, effectName, productName, mfrName, vendorVersion, uniqueID,
              mfrID, latency, plugDoesMidi, plugDoesChunks, plugIsInst, kAPIAU)
  , mBundleID(instanceInfo.mBundleID)
  , mCocoaViewFactoryClassName(instanceInfo.mCocoaViewFactoryClassName)
{
  SetBlockSize(1024);
}

int IPlugAU::GetSamplePos()
{
  if (!(mHostTime.mSamplePos > 0.0)) return 0;
  return static_cast<int>(mHostTime.mSamplePos + 0.5);
}

double IPlugAU::GetTempo()
{
  return mHostTime.mTempo > 0.0 ? mHostTime.mTempo : 120.0;
}

void IPlugAU::GetTimeSig(int* pNum, int* pDenom)
{
  if (pNum) *pNum = mHostTime.mNumerator;
  if (pDenom) *pDenom = mHostTime.mDenominator;
}

void IPlugAU::GetTime(ITimeInfo* pTimeInfo)
{
  if (pTimeInfo) *pTimeInfo = mHostTime;
}
