// Fonts made ready on a thread of their own while a program starts.
//
// The first text a program measures or draws pays for font discovery:
// fontconfig reading its configuration and font caches, matching a face,
// loading the font file and shaping the first characters. A FontWarmUp
// started at the beginning of a program does that work on a second thread
// while the first thread loads its resources and creates its first window;
// text calls made meanwhile wait for the step under way and then find it
// done. It only calls this layer's own text functions, which may be used
// from any thread.
#pragma once

#include <thread>
#include <vector>

#include "plat/gfx/gditypes.h"

namespace plat {

class FontWarmUp {
public:
    // Starts preparing the default GUI font and each of `fonts`: metrics,
    // and a line of Chinese and Latin text measured and drawn. When no
    // thread can be started, nothing is prepared ahead (text works as
    // always, only without the head start).
    explicit FontWarmUp(std::vector<LOGFONT> fonts = {});
    // Waits for the thread.
    ~FontWarmUp();
    FontWarmUp(const FontWarmUp&) = delete;
    FontWarmUp& operator=(const FontWarmUp&) = delete;

    // Waits until the preparation has ended.
    void Wait();

private:
    std::thread m_thread;
};

} // namespace plat
