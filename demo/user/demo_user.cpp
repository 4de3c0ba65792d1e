// demo_user: the demo's "user". It starts the installer on the headless
// screen with the automation socket and goes through its windows as a
// person would: the start window, show more, a folder of its choice,
// install, the progress, the finish window and its start button, and then
// the installed product, which it closes again. Each step leaves a picture
// of its window (cropped from the screen, shadow included) in the pictures
// folder.
//
//   demo_user --installer EXE --socket PATH --pictures DIR --folder DIR
//
// The installer inherits the environment (registry store, temporary folder,
// home). On standard output one line per step, tab-separated:
//   step  <name>  <picture file or ->  <what was seen>
// and at the end "done". A step that fails prints
//   failed  <name>  <reason>
// and the program exits with 1 (2: wrong usage).
#include "plat/automation/client.h"

#include <stb_image.h>
#include <stb_image_write.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using plat::automation::ChildProcess;
using plat::automation::Client;

// Generous bounds: the sanitizer build of the test suite runs the same
// steps several times slower than the release build.
constexpr int kStartMs = 60000;
constexpr int kInstallMs = 120000;
constexpr int kCommandMs = 30000;

// The installer's and the product's window classes.
const char kStartClass[] = "InstallerStartWnd";
const char kInstallClass[] = "InstallerDownloadlWnd";
const char kFinishClass[] = "InstallerFinishWnd";
const char kProductClass[] = "TarvexPDFConver";

// Where the user clicks, in window coordinates, from the windows' layouts
// (skin/installerstart.xml, skin/installerfinish.xml,
// demo/product/skin/product.xml).
struct Point {
    int x, y;
};
constexpr Point kShowMore{495, 393};     // "showmorechk", 452..537 x 386..400
constexpr Point kChooseFolder{510, 440}; // "selectdirbtn", 483..537 x 426..453
constexpr Point kInstall{280, 301};      // "installbtn", 160..399 x 282..319
constexpr Point kStartProduct{276, 322}; // "startbtn", 182..371 x 299..346
// "down_progress", 30..529 x 329..333: where it shows 75 % and its end.
constexpr Point kProgressAt75{405, 331};
constexpr Point kProgressEnd{528, 331};
constexpr Point kCloseProduct{320, 348}; // "okbtn", 250..389 x 328..367

constexpr int kPictureMargin = 16; // around the window: its shadow and some desktop

struct Rect {
    int left = 0, top = 0, right = 0, bottom = 0;
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
};

// The installer while it runs: a failed step ends it with the demo.
ChildProcess* g_installer = nullptr;

[[noreturn]] void Fail(const std::string& step, const std::string& reason) {
    if (g_installer != nullptr)
        g_installer->Kill();
    std::printf("failed\t%s\t%s\n", step.c_str(), reason.c_str());
    std::fflush(stdout);
    std::exit(1);
}

void Report(const std::string& step, const std::string& picture, const std::string& seen) {
    std::printf("step\t%s\t%s\t%s\n", step.c_str(), picture.empty() ? "-" : picture.c_str(),
                seen.c_str());
    std::fflush(stdout);
}

std::string Size(const Rect& r) {
    return std::to_string(r.Width()) + " x " + std::to_string(r.Height());
}

// One program's automation socket.
class Session {
public:
    Session(std::string step, const std::string& socket, int timeoutMs) : m_step(std::move(step)) {
        if (!m_client.Connect(socket, timeoutMs))
            Fail(m_step, "no automation socket at " + socket + " within " +
                             std::to_string(timeoutMs / 1000) + " s");
    }

    void SetStep(const std::string& step) { m_step = step; }

    // Sends a command that must answer "ok..."; the answer.
    std::string Must(const std::string& command, int timeoutMs = kCommandMs) {
        const std::string reply = m_client.Ask(command, timeoutMs);
        if (reply.rfind("ok", 0) != 0)
            Fail(m_step, "\"" + command + "\" answered \"" +
                             (reply.empty() ? "nothing (the program is gone?)" : reply) + "\"");
        return reply;
    }

    // The visible top-level window of a class: its rectangle; false when
    // there is none.
    bool Find(const std::string& windowClass, Rect* rect) {
        const std::string reply = Must("list");
        const int count = std::atoi(reply.c_str() + 3);
        bool found = false;
        for (int i = 0; i < count; ++i) {
            const std::string line = m_client.ReadLine(kCommandMs);
            if (found || line.find("class=\"" + windowClass + "\"") == std::string::npos ||
                line.find("visible=1") == std::string::npos)
                continue;
            const size_t at = line.find(" rect=");
            if (at != std::string::npos &&
                std::sscanf(line.c_str() + at, " rect=%d,%d,%d,%d", &rect->left, &rect->top,
                            &rect->right, &rect->bottom) == 4)
                found = true;
        }
        return found;
    }

    Rect WaitFor(const std::string& windowClass, int timeoutMs) {
        const std::string reply = m_client.Ask(
            "wait class " + windowClass + " " + std::to_string(timeoutMs), timeoutMs + kCommandMs);
        Rect rect;
        if (reply.rfind("ok", 0) != 0 || !Find(windowClass, &rect))
            Fail(m_step, "no " + windowClass + " window within " +
                             std::to_string(timeoutMs / 1000) + " s (" +
                             (reply.empty() ? "no answer" : reply) + ")");
        return rect;
    }

    void Click(const Rect& window, Point at) {
        Must("click " + std::to_string(window.left + at.x) + " " +
             std::to_string(window.top + at.y));
    }

    // The screen pixel, "AARRGGBB".
    std::string Pixel(int x, int y) {
        return Must("pixel " + std::to_string(x) + " " + std::to_string(y));
    }

    // True while the program answers at all.
    bool Alive() { return !m_client.Ask("sync 1000", 5000).empty(); }

    // A picture of the screen around `window` (its shadow and a margin of
    // desktop included), written as `folder`/`name`.
    void Picture(const std::string& folder, const std::string& name, const Rect& window) {
        const std::string screen = folder + "/.screen.png";
        Must("screenshot " + screen);
        int width = 0, height = 0, channels = 0;
        unsigned char* pixels = stbi_load(screen.c_str(), &width, &height, &channels, 4);
        std::remove(screen.c_str());
        if (pixels == nullptr)
            Fail(m_step, "cannot read the screenshot " + screen);
        const int left = std::max(0, window.left - kPictureMargin);
        const int top = std::max(0, window.top - kPictureMargin);
        const int right = std::min(width, window.right + kPictureMargin);
        const int bottom = std::min(height, window.bottom + kPictureMargin);
        const std::string path = folder + "/" + name;
        const bool written =
            right > left && bottom > top &&
            stbi_write_png(path.c_str(), right - left, bottom - top, 4,
                           pixels + (size_t(top) * size_t(width) + size_t(left)) * 4,
                           width * 4) != 0;
        stbi_image_free(pixels);
        if (!written)
            Fail(m_step, "cannot write the picture " + path);
    }

private:
    Client m_client;
    std::string m_step;
};

struct Options {
    std::string installer, socket, pictures, folder;
};

bool ParseOptions(int argc, char** argv, Options* options) {
    std::map<std::string, std::string*> names = {{"--installer", &options->installer},
                                                 {"--socket", &options->socket},
                                                 {"--pictures", &options->pictures},
                                                 {"--folder", &options->folder}};
    for (int i = 1; i + 1 < argc; i += 2) {
        auto it = names.find(argv[i]);
        if (it == names.end())
            return false;
        *it->second = argv[i + 1];
    }
    return argc % 2 == 1 && !options->installer.empty() && !options->socket.empty() &&
           !options->pictures.empty() && !options->folder.empty();
}

int WaitExit(ChildProcess& process, const std::string& step, int timeoutMs) {
    const int code = process.Wait(timeoutMs);
    if (code == -1 && process.Pid() > 0)
        Fail(step, "the installer did not end within " + std::to_string(timeoutMs / 1000) + " s");
    return code;
}

} // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ParseOptions(argc, argv, &options)) {
        std::fprintf(
            stderr, "usage: demo_user --installer EXE --socket PATH --pictures DIR --folder DIR\n");
        return 2;
    }
    const std::string& pictures = options.pictures;

    ChildProcess installer;
    if (!installer.Start(options.installer, {}, {"PLAT_AUTOMATION=" + options.socket}))
        Fail("start", "cannot start " + options.installer);
    g_installer = &installer;
    {
        Session session("start", options.socket, kStartMs);
        Rect start = session.WaitFor(kStartClass, kStartMs);
        session.Picture(pictures, "1-start.png", start);
        Report("start", "1-start.png", "start window " + Size(start));

        session.SetStep("show more");
        session.Click(start, kShowMore);
        Rect more;
        if (!session.Find(kStartClass, &more) || more.Height() != 490)
            Fail("show more", "the start window did not grow to 490 pixels (" + Size(more) + ")");
        session.Picture(pictures, "2-show-more.png", more);
        Report("show more", "2-show-more.png", "start window " + Size(more));

        session.SetStep("choose folder");
        session.Must("answer folder " + options.folder);
        session.Click(more, kChooseFolder);
        session.Picture(pictures, "3-folder.png", more);
        Report("choose folder", "3-folder.png", options.folder);

        session.SetStep("install");
        session.Click(more, kInstall);
        Rect progress = session.WaitFor(kInstallClass, kStartMs);
        // The picture once the bar has passed 75 % (its end still shows
        // the empty track), or as it is when the downloads are over sooner.
        const std::string empty =
            session.Pixel(progress.left + kProgressEnd.x, progress.top + kProgressEnd.y);
        Rect now;
        for (int i = 0; i < 200 && session.Find(kInstallClass, &now) &&
                        session.Pixel(progress.left + kProgressAt75.x,
                                      progress.top + kProgressAt75.y) == empty;
             ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(25));
        session.Picture(pictures, "4-progress.png", progress);
        // A window that closed meanwhile is not in the picture: no picture
        // rather than one of what followed.
        if (session.Find(kInstallClass, &now)) {
            Report("progress", "4-progress.png", "install window " + Size(progress));
        } else {
            std::remove((pictures + "/4-progress.png").c_str());
            Report("progress", "",
                   "install window " + Size(progress) +
                       " (closed before its picture could be taken)");
        }

        session.SetStep("finish");
        Rect finish = session.WaitFor(kFinishClass, kInstallMs);
        session.Picture(pictures, "5-finish.png", finish);
        Report("finish", "5-finish.png", "finish window " + Size(finish));

        session.SetStep("start product");
        session.Click(finish, kStartProduct);
    }
    const int code = WaitExit(installer, "start product", kInstallMs);
    Report("installer ended", "", "exit code " + std::to_string(code));

    // The product inherited the automation socket's name from the installer
    // and serves it now.
    Session product("product", options.socket, kStartMs);
    Rect window = product.WaitFor(kProductClass, kStartMs);
    product.Picture(pictures, "6-product.png", window);
    Report("product", "6-product.png", "product window " + Size(window));

    product.SetStep("close product");
    product.Click(window, kCloseProduct);
    for (int i = 0; i < 100 && product.Alive(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    if (product.Alive())
        Fail("close product", "the product is still running after its close button");
    Report("product closed", "", "");
    std::printf("done\n");
    return 0;
}
