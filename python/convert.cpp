#include "convert.hpp"

#include <cmath>
#include <string>

namespace armkin_py {

namespace {

std::string shapeText(const std::vector<py::ssize_t>& dims, bool batch) {
    std::string t = batch ? "(N" : "(";
    for (std::size_t i = 0; i < dims.size(); ++i) {
        if (i > 0 || batch) t += ", ";
        t += std::to_string(dims[i]);
    }
    t += dims.size() == 1 && !batch ? ",)" : ")";
    return t;
}

}  // namespace

Array realArray(const py::handle& obj, const char* what, const std::vector<py::ssize_t>& shape,
                bool batch, Values values) {
    py::array raw = py::array::ensure(obj);
    if (!raw) throw py::type_error(std::string(what) + ": expected an array of numbers");
    const char kind = raw.dtype().kind();
    if (kind != 'f' && kind != 'i' && kind != 'u')
        throw py::type_error(std::string(what) + ": expected real numbers, got dtype " +
                             std::string(py::str(raw.dtype())));
    Array a = Array::ensure(raw);
    const std::size_t lead = batch ? 1 : 0;
    bool good = static_cast<std::size_t>(a.ndim()) == shape.size() + lead;
    for (std::size_t i = 0; good && i < shape.size(); ++i) good = a.shape(i + lead) == shape[i];
    if (!good) {
        const std::vector<py::ssize_t> got(a.shape(), a.shape() + a.ndim());
        throw py::value_error(std::string(what) + ": expected shape " + shapeText(shape, batch) +
                              ", got " + shapeText(got, false));
    }
    if (values == Values::Finite) {
        const double* d = a.data();
        for (py::ssize_t i = 0; i < a.size(); ++i)
            if (!std::isfinite(d[i])) throw py::value_error(std::string(what) + ": values must be finite");
    }
    return a;
}

armkin::Joints jointsOf(const double* d) {
    armkin::Joints q;
    for (int i = 0; i < 6; ++i) q[i] = d[i];
    return q;
}

armkin::Joints jointsArg(const py::handle& obj, const char* what) {
    return jointsOf(realArray(obj, what, {6}, false).data());
}

const char* poseFault(const double* m, const armkin::SolveOptions& options, armkin::Pose& out) {
    if (m[12] != 0.0 || m[13] != 0.0 || m[14] != 0.0 || m[15] != 1.0)
        return "the last row must be (0, 0, 0, 1)";
    out.position = {m[3], m[7], m[11]};
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) out.rotation[r][c] = m[4 * r + c];
    const char* reason = nullptr;
    return armkin::checkTarget(out, options, &reason) == armkin::Status::Ok ? nullptr : reason;
}

armkin::Pose poseArg(const py::handle& obj, const char* what, const armkin::SolveOptions& options) {
    // Values that are not finite reach checkTarget, which names them.
    const Array a = realArray(obj, what, {4, 4}, false, Values::Any);
    armkin::Pose p;
    if (const char* reason = poseFault(a.data(), options, p))
        throw py::value_error(std::string(what) + ": " + reason);
    return p;
}

void writeTransform(const armkin::Pose& p, double* m) {
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) m[4 * r + c] = p.rotation[r][c];
    m[3] = p.position.x;
    m[7] = p.position.y;
    m[11] = p.position.z;
    m[12] = m[13] = m[14] = 0.0;
    m[15] = 1.0;
}

armkin::SolveOptions solveOptions(armkin::SolveOptions base, const py::handle& copies,
                                  bool orthonormalize) {
    const bool isText = py::isinstance<py::str>(copies);
    const std::string text = isText ? copies.cast<std::string>() : std::string();
    if (isText && text == "nearest") {
        base.copies = armkin::Copies::Nearest;
    } else if (isText && text == "all") {
        base.copies = armkin::Copies::All;
    } else {
        throw py::value_error("copies: expected \"nearest\" (each branch once) or \"all\" (every "
                              "copy 2 pi apart within the limits), got " +
                              std::string(py::repr(copies)));
    }
    base.orthonormalize = orthonormalize;
    return base;
}

std::string pathArg(const py::handle& obj) {
    // os.fsdecode takes str, bytes and os.PathLike and raises TypeError for
    // anything else.
    return py::module_::import("os").attr("fsdecode")(obj).cast<std::string>();
}

Array newArray(std::vector<py::ssize_t> shape) { return Array(std::move(shape)); }

}  // namespace armkin_py
