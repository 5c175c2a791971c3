#include "engine/matting/svd.h"

#include <gsl/gsl_errno.h>
#include <gsl/gsl_linalg.h>

#include <mutex>
#include <stdexcept>
#include <string>

namespace trm {

namespace {

// The library's default handler aborts the process on any error; errors come
// back as codes instead, which become exceptions here.
void use_error_codes()
{
    static std::once_flag once;
    std::call_once(once, [] { gsl_set_error_handler_off(); });
}

void check(int status)
{
    if (status != GSL_SUCCESS)
        throw std::runtime_error(std::string("singular value decomposition failed: ") + gsl_strerror(status));
}

} // namespace

void singular_value_decomposition(
    std::span<double> a, std::span<double> v, std::span<double> s, std::span<double> work)
{
    const std::size_t n = s.size();
    if (n == 0 || a.size() != n * n || v.size() != n * n || work.size() != n)
        throw std::invalid_argument("singular value decomposition: the matrix and vector sizes do not agree");
    use_error_codes();
    gsl_matrix_view am = gsl_matrix_view_array(a.data(), n, n);
    gsl_matrix_view vm = gsl_matrix_view_array(v.data(), n, n);
    gsl_vector_view sv = gsl_vector_view_array(s.data(), n);
    gsl_vector_view wv = gsl_vector_view_array(work.data(), n);
    check(gsl_linalg_SV_decomp(&am.matrix, &vm.matrix, &sv.vector, &wv.vector));
}

} // namespace trm
