#include "catch22/sp_summaries.hpp"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>

#include "helpers/failure.hpp"
#include "helpers/fft.hpp"
#include "helpers/moments.hpp"
#include "helpers/portable.hpp"
#include "helpers/vectors.hpp"

namespace quorlex::catch22 {

namespace {

constexpr double two_pi = 6.283185307179586;

// Smallest power of two >= n; the published length is a 32-bit signed
// integer, so 2^30 is the largest length it can hold.
std::size_t spectrum_length(std::size_t n) {
    constexpr std::size_t limit = std::size_t{1} << 30;
    if (n == 0 || n > limit) fail("welch: no 32-bit transform length for a series of " + std::to_string(n) + " values");
    return std::bit_ceil(n);
}

// The sum of the window's squares, in index order.
double window_power(std::span<const double> window) {
    double s = 0.0;
    for (double w : window) s += w * w;
    return s;
}

// welch() with m = common::mean(y) and s = window_power(window).
Spectrum centred_welch(Series y, std::span<const double> window, double m, double s) {
    const std::size_t n = y.size();
    const std::size_t width = window.size();
    const std::size_t nfft = spectrum_length(width);
    const double df = 1.0 / static_cast<double>(nfft);
    const auto segments = static_cast<std::int64_t>(std::floor(static_cast<double>(n) / (static_cast<double>(width) / 2.0))) - 1;

    // Rooted and squared again as published, which can move the last bit.
    const double kmu = std::sqrt(s) * std::sqrt(s) * static_cast<double>(segments);

    const common::SharedTwiddles tw(nfft);
    // The transform's input, then its scratch; every entry of the input is
    // written before each transform, which writes its scratch before reading.
    const auto buffer = common::uninitialized_array<double>(4 * nfft);
    const common::Split f{buffer.get(), buffer.get() + nfft};
    const common::Split scratch{buffer.get() + 2 * nfft, buffer.get() + 3 * nfft};
    // Only the one-sided bins 0 .. nfft/2 are read below, so the power of the
    // mirrored half is never formed.
    const std::size_t nout = nfft / 2 + 1;
    std::vector<double> power(nout, 0.0);
    for (std::int64_t i = 0; i < segments; ++i) {
        const auto offset = static_cast<std::size_t>(std::floor(static_cast<double>(width) * static_cast<double>(i) * 0.5));
        for (std::size_t j = 0; j < width; ++j) {
            f.re[j] = window[j] * y[j + offset] - m;
            f.im[j] = 0.0;
        }
        std::fill(f.re + width, f.re + nfft, 0.0);
        std::fill(f.im + width, f.im + nfft, 0.0);
        common::fft(f, scratch, tw, width);
        for (std::size_t l = 0; l < nout; ++l) {
            const double h = std::hypot(f.re[l], f.im[l]);
            power[l] += h * h;
        }
    }

    Spectrum out{std::vector<double>(nout), std::vector<double>(nout)};
    for (std::size_t i = 0; i < nout; ++i) {
        double p = power[i] / kmu;
        // Every frequency but zero and Nyquist also stands for its negative twin.
        if (i > 0 && i + 1 < nout) p = p + p;
        out.pxx[i] = p;
        out.freq[i] = df * static_cast<double>(i);
    }
    return out;
}

}  // namespace

Spectrum welch(Series y, std::span<const double> window) {
    return centred_welch(y, window, common::mean(y), window_power(window));
}

Spectrum angular_welch_rect(Series y) { return angular_welch_rect(y, common::mean(y)); }

Spectrum angular_welch_rect(Series y, double mean) {
    const std::vector<double> window(y.size(), 1.0);
    // The squares of a window of ones sum to whole numbers, exact below 2^53
    // (spectrum_length refuses longer series): window_power gives n.
    Spectrum spectrum = centred_welch(y, window, mean, static_cast<double>(y.size()));
    for (std::size_t i = 0; i < spectrum.pxx.size(); ++i) {
        spectrum.freq[i] = spectrum.freq[i] * two_pi;
        spectrum.pxx[i] = spectrum.pxx[i] / two_pi;
    }
    return spectrum;
}

double sp_summaries_welch_rect(Series series, std::string_view what, bool normalize, Shared* shared) {
    if (!series_finite(series, shared) || series.size() < 2) return common::nan;
    const bool centroid = what == "centroid";
    if (!centroid && what != "area_5_1") return 0.0;
    Spectrum own;
    const Spectrum& spectrum =
        shared != nullptr ? shared->angular_welch_rect() : (own = angular_welch_rect(common::Prepared(series, normalize).view()));
    const std::vector<double>& w = spectrum.freq;
    const std::vector<double>& sw = spectrum.pxx;
    const std::size_t nout = sw.size();
    for (double v : sw) {
        if (std::isinf(v)) return 0.0;
    }
    const double dw = w[1] - w[0];

    if (centroid) {
        const auto cs = common::cumsum(sw);
        const double half = cs[nout - 1] * 0.5;
        for (std::size_t i = 0; i < nout; ++i) {
            if (!(cs[i] <= half)) return w[i];
        }
        return 0.0;
    }
    double area = 0.0;
    for (std::size_t i = 0; i < nout / 5; ++i) area += sw[i];
    return dw * area;
}

double sp_summaries_welch_rect_area_5_1(Series y, bool normalize, Shared* shared) {
    return sp_summaries_welch_rect(y, "area_5_1", normalize, shared);
}

double sp_summaries_welch_rect_centroid(Series y, bool normalize, Shared* shared) {
    return sp_summaries_welch_rect(y, "centroid", normalize, shared);
}

}  // namespace quorlex::catch22
