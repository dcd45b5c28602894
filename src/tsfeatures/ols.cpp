#include "tsfeatures/ols.hpp"

#include <cmath>
#include <utility>

#include "helpers/table_size.hpp"

namespace quorlex::tsfeatures {

std::variant<std::vector<double>, std::string_view> solve_normal_equations(std::vector<double>& a,
                                                                           std::vector<double>& rhs) {
    const std::size_t k = rhs.size();
    for (std::size_t col = 0; col < k; ++col) {
        std::size_t pivot = col;
        double largest = std::fabs(a[col * k + col]);
        for (std::size_t r = col + 1; r < k; ++r) {
            const double v = std::fabs(a[r * k + col]);
            if (v > largest) {
                largest = v;
                pivot = r;
            }
        }
        if (largest < 1e-10) return singular_message;
        if (pivot != col) {
            for (std::size_t j = 0; j < k; ++j) std::swap(a[col * k + j], a[pivot * k + j]);
            std::swap(rhs[col], rhs[pivot]);
        }
        const double diagonal = a[col * k + col];
        for (std::size_t r = col + 1; r < k; ++r) {
            const double factor = a[r * k + col] / diagonal;
            for (std::size_t j = col; j < k; ++j) a[r * k + j] -= factor * a[col * k + j];
            rhs[r] -= factor * rhs[col];
        }
    }
    std::vector<double> b(k, 0.0);
    for (std::size_t i = k; i-- > 0;) {
        double s = rhs[i];
        for (std::size_t j = i + 1; j < k; ++j) s -= a[i * k + j] * b[j];
        b[i] = s / a[i * k + i];
    }
    return b;
}

std::variant<OlsResult, std::string_view> ols(Series y, std::span<const Series> columns) {
    const std::size_t rows = y.size();
    const std::size_t k = columns.size();
    if (rows == 0 || k == 0) return std::string_view("Empty input data");
    for (const Series column : columns) {
        if (column.size() != rows) return std::string_view("Dimension mismatch");
    }

    // X'X is symmetric and a product commutes exactly, so each off-diagonal
    // sum is formed once and mirrored.
    std::vector<double> xtx(common::table_size(k, k), 0.0);
    std::vector<double> xty(k, 0.0);
    for (std::size_t i = 0; i < k; ++i) {
        for (std::size_t j = i; j < k; ++j) {
            double s = 0.0;
            for (std::size_t t = 0; t < rows; ++t) s += columns[i][t] * columns[j][t];
            xtx[i * k + j] = s;
            xtx[j * k + i] = s;
        }
        double s = 0.0;
        for (std::size_t t = 0; t < rows; ++t) s += columns[i][t] * y[t];
        xty[i] = s;
    }
    auto solved = solve_normal_equations(xtx, xty);
    if (const auto* error = std::get_if<std::string_view>(&solved)) return *error;
    const auto& b = std::get<std::vector<double>>(solved);

    OlsResult out{std::vector<double>(rows), 0.0};
    for (std::size_t t = 0; t < rows; ++t) {
        double fitted = 0.0;
        for (std::size_t j = 0; j < k; ++j) fitted += columns[j][t] * b[j];
        const double e = y[t] - fitted;
        out.residuals[t] = e;
        out.ssr += e * e;
    }
    return out;
}

}  // namespace quorlex::tsfeatures
