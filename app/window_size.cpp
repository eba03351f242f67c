#include "app/window_size.h"

namespace mossgate {

namespace {

struct FrameMetrics {
    int frameWidth;
    int captionHeight;
};

FrameMetrics QueryFrameMetrics() {
    NONCLIENTMETRICSA metrics = {};
    static_assert(sizeof(metrics) == 344, "the layout that ends with the padded border width");
    metrics.cbSize = sizeof(metrics);
    if (SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0)) {
        return {metrics.iBorderWidth + metrics.iPaddedBorderWidth, metrics.iCaptionHeight};
    }
    return {GetSystemMetrics(SM_CXPADDEDBORDER) + GetSystemMetrics(SM_CXDLGFRAME),
            GetSystemMetrics(SM_CYCAPTION)};
}

} // namespace

void SizeWindowToClient(HWND window, int clientWidth, int clientHeight) {
    const FrameMetrics frame = QueryFrameMetrics();
    int width = clientWidth + 2 * frame.frameWidth;
    int height = clientHeight + 2 * frame.frameWidth + frame.captionHeight;
    SetWindowPos(window, HWND_TOP, 0, 0, width, height, SWP_NOMOVE | SWP_SHOWWINDOW);
    RECT client = {};
    if (GetClientRect(window, &client) &&
        (client.right != clientWidth || client.bottom != clientHeight)) {
        width += clientWidth - client.right;
        height += clientHeight - client.bottom;
        SetWindowPos(window, HWND_TOP, 0, 0, width, height, SWP_NOMOVE | SWP_SHOWWINDOW);
    }
}

} // namespace mossgate
