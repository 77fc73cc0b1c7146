#include <cstddef>

#include "arm/arm_model.hpp"
#include "numeric/frame.hpp"

namespace kin {

namespace {

//! The child frame (axes C, origin Pc, world) seen from the parent frame
//! (axes A, origin Pa, world): rotation A^T * C, origin A^T * (Pc - Pa).
Frame relativeFrame(const Axes& A, const Vec3& Pa, const Axes& C, const Vec3& Pc) {
    const Vec3 d{Pc.x - Pa.x, Pc.y - Pa.y, Pc.z - Pa.z};
    Frame L;
    L.X = {dot3(A.X, C.X), dot3(A.Y, C.X), dot3(A.Z, C.X)};
    L.Y = {dot3(A.X, C.Y), dot3(A.Y, C.Y), dot3(A.Z, C.Y)};
    L.Z = {dot3(A.X, C.Z), dot3(A.Y, C.Z), dot3(A.Z, C.Z)};
    L.O = {dot3(d, A.X), dot3(d, A.Y), dot3(d, A.Z)};
    return L;
}

}  // namespace

int deriveLinks(ArmModel& model, int n, std::string_view jtype, const Vec3& basePos,
                const Axes& baseAxes, std::span<const Vec3> jointPos,
                std::span<const Axes> jointAxes, Frame& baseOut, std::span<Frame> linksOut) {
    const auto entries = static_cast<std::size_t>(n) + 1;
    if (n < 1 || n > kMaxJoints || jointPos.size() < entries || jointAxes.size() < entries ||
        linksOut.size() < entries) {
        return 0;
    }

    model.DOF = n;
    for (int i = 0; i < n; ++i) {
        model.jointTypes[i] = static_cast<std::size_t>(i) < jtype.size() ? jtype[i] : '\0';
    }

    model.baseFrame = {baseAxes.X, baseAxes.Y, baseAxes.Z, basePos};
    baseOut = model.baseFrame;

    model.linkFrames[0] = relativeFrame(baseAxes, basePos, jointAxes[0], jointPos[0]);
    linksOut[0] = model.linkFrames[0];
    for (int k = 1; k < n; ++k) {
        model.linkFrames[k] =
            relativeFrame(jointAxes[k - 1], jointPos[k - 1], jointAxes[k], jointPos[k]);
        linksOut[k] = model.linkFrames[k];
    }

    const Frame tool = relativeFrame(jointAxes[n - 1], jointPos[n - 1], jointAxes[n], jointPos[n]);
    model.toolPoint = tool.O;
    model.toolAxisX = tool.X;
    model.toolAxisY = tool.Y;
    model.toolAxisZ = tool.Z;
    linksOut[n] = tool;

    for (int i = 0; i < n; ++i) model.jointRange[i] = {-10.0, 10.0};
    return 1;
}

}  // namespace kin
