#include "client/dialogs/Icons.h"

#include <wx/image.h>

#include "client/dialogs/IconData.h"

wxBitmap GetAppIcon(int index)
{
    if (index != 0 && index != 1)
        return wxNullBitmap;
    int size = index == 0 ? 32 : 16;
    const unsigned char* pixels = index == 0 ? kAppIconPixels32 : kAppIconPixels16;
    // The image borrows the constant pixels; the bitmap makes its own copy.
    wxImage image(size, size, const_cast<unsigned char*>(pixels), true);
    image.SetMaskColour(kAppIconMaskRed, kAppIconMaskGreen, kAppIconMaskBlue);
    return wxBitmap(image);
}

wxBitmap GetPieceBitmap(int index)
{
    if (index < 0 || index > 11)
        return wxNullBitmap;
    return wxBitmap(kPieceXpms[index]);
}
