#include "client/core/StartupSplash.h"

#include "client/view/SplashFrame.h"
#include "foundation/Drive.h"
#include "foundation/File.h"
#include "foundation/Image.h"

namespace {

// Pixel format 19 holds red, green and blue bytes in that order.
const int kRgbFormat = 19;

} // namespace

wxFrame* OpenStartupSplash(Zorlin::CDrive& drive, const char* picturePath)
{
    Zorlin::CAutoPointer<Zorlin::CFile> file = drive.OpenFile(Zorlin::CURL(picturePath), Zorlin::CFile::kModeRead);
    if (!file || file->IsNull() || !file->IsOpen())
        return nullptr;
    Zorlin::CImage image;
    if (image.Load(*file, kRgbFormat) != Zorlin::CImage::ERR_NONE || image.GetWidth() <= 0)
        return nullptr;
    return new CSplashFrame(image);
}
