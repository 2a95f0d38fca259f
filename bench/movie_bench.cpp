// The cost of a movie frame: drawing a state as the picture and turning it
// into the raw RGB bytes ffmpeg reads. The encoding itself runs in ffmpeg's
// own process, beside the run.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "common/movie.h"
#include "sphaeron/document/document.h"
#include "sphaeron/picture/picture.h"

namespace {

std::string Example(const char* name) {
    const char* e = std::getenv("SPHAERON_EXAMPLES");
    return std::string(e ? e : SPHAERON_EXAMPLES_DEFAULT) + "/" + name;
}

// Arg: 0 the plain scene of lattice100 with numbers, 1 the Shelloscope
// overlays of shell_mode1 (the dearest picture: 900 chart points).
void BM_SphaeronMovieFrame(benchmark::State& st) {
    sphaeron::picture::EnsureApplication();
    sphaeron::TaonsDocument doc;
    sphaeron::TaonState s;
    sphaeron::LoadDocument(Example(st.range(0) == 1 ? "shell_mode1.ato" : "lattice100.ato"), doc, s);
    sphaeron::picture::PictureOptions o;
    o.numbers = true;
    o.mode = static_cast<int>(st.range(0));
    sphaeron::ViewState view = sphaeron::picture::OptionsView(o);
    const sphaeron::SceneSwitches sw = sphaeron::picture::OptionsSwitches(o);
    QImage image;
    std::vector<unsigned char> frame;
    for (auto _ : st) {
        sphaeron::picture::DrawStateScene(s, view, sw, image);
        sphaeron::picture::RgbFrame(image, frame);
        benchmark::DoNotOptimize(frame.data());
    }
}
BENCHMARK(BM_SphaeronMovieFrame)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
