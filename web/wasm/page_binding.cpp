// The library as the page sees it (embind): one arm set up from the
// page's file readers, its solutions written to a buffer of doubles that
// the page reads in place, so that a solve passes no objects across.

#include <emscripten/bind.h>
#include <emscripten/val.h>

#include <array>
#include <cstdint>
#include <string>

#include <armkin/armkin.hpp>
#include <armkin/loaders.hpp>

#include "arm_input.hpp"

namespace armkin::web {

namespace {

using emscripten::val;

//! Doubles per solution in the buffer: q0..q5, position error, rotation
//! error, SolutionStatus.
constexpr int kSolutionStride = 9;
//! Doubles per pose in the buffer: position, then the rotation row by row.
constexpr int kPoseStride = 12;

Vec3 vec3(const val& v) {
    if (v.isUndefined() || v.isNull()) return {};
    return {v[0].as<double>(), v[1].as<double>(), v[2].as<double>()};
}

Axes axes(const val& frame) { return {vec3(frame["x"]), vec3(frame["y"]), vec3(frame["z"])}; }

UrdfJointKind urdfKind(const std::string& type) {
    if (type == "revolute") return UrdfJointKind::Revolute;
    if (type == "continuous") return UrdfJointKind::Continuous;
    if (type == "prismatic") return UrdfJointKind::Prismatic;
    if (type == "fixed") return UrdfJointKind::Fixed;
    return UrdfJointKind::Unsupported;
}

//! The readers' object (web/src/readers/) as ArmInput.
ArmInput armInput(const val& v) {
    ArmInput in;
    const std::string form = v["form"].as<std::string>();
    in.form = form == "frames" ? ArmForm::Frames
              : form == "dh"   ? ArmForm::DhTable
              : form == "urdf" ? ArmForm::UrdfChain
                               : ArmForm::Builtin;
    if (v["name"].isString()) in.name = v["name"].as<std::string>();
    if (in.form == ArmForm::UrdfChain) {
        in.baseLink = v["baseLink"].as<std::string>();
        in.tipLink = v["tipLink"].as<std::string>();
        const val chain = v["chain"];
        const int n = chain["length"].as<int>();
        for (int i = 0; i < n; ++i) {
            const val j = chain[i];
            UrdfJointInput u;
            u.name = j["name"].as<std::string>();
            u.kind = urdfKind(j["type"].as<std::string>());
            u.xyz = vec3(j["xyz"]);
            u.rpy = vec3(j["rpy"]);
            if (!j["axis"].isUndefined()) u.axis = vec3(j["axis"]);
            u.hasLimits = !j["limits"].isUndefined() && !j["limits"].isNull();
            if (u.hasLimits) u.limits = {j["limits"][0].as<double>(), j["limits"][1].as<double>()};
            in.chain.push_back(std::move(u));
        }
        return in;
    }
    if (in.form == ArmForm::Builtin) return in;
    const val joints = v["joints"];
    for (int k = 0; k < 6; ++k) {
        const val j = joints[k];
        const char type = j["type"].as<std::string>() == "S" ? 'S' : 'R';
        if (j["name"].isString()) in.jointNames[k] = j["name"].as<std::string>();
        in.hasLimits[k] = !j["limits"].isUndefined() && !j["limits"].isNull();
        if (in.hasLimits[k]) in.limits[k] = {j["limits"][0].as<double>(), j["limits"][1].as<double>()};
        if (in.form == ArmForm::Frames) {
            in.frames.JTYPE[k] = type;
            in.frames.armJointPos[k] = vec3(j["origin"]);
            in.frames.armJointAxes[k] = axes(j);
        } else {
            kin::DhRow& row = in.rows[k];
            row.type = type;
            row.a = j["a"].as<double>();
            row.alpha = j["alpha"].as<double>();
            row.d = j["d"].as<double>();
            row.offset = j["theta"].as<double>();
        }
    }
    if (in.form == ArmForm::Frames) {
        const val base = v["base"];
        if (base.isUndefined()) {
            in.frames.armBaseAxes = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
        } else {
            in.frames.armBasePos = vec3(base["origin"]);
            in.frames.armBaseAxes = axes(base);
        }
        in.frames.armJointPos[6] = vec3(v["tool"]["origin"]);
        in.frames.armJointAxes[6] = axes(v["tool"]);
    } else {
        in.convention = v["convention"].as<std::string>() == "modified" ? kin::DhConvention::Modified
                                                                        : kin::DhConvention::Standard;
        if (!v["base"].isUndefined()) in.base = {vec3(v["base"]["xyz"]), vec3(v["base"]["rpy"])};
        if (!v["tool"].isUndefined()) in.tool = {vec3(v["tool"]["xyz"]), vec3(v["tool"]["rpy"])};
    }
    return in;
}

}  // namespace

//! One arm of the page. setUp, then solve, track, forward and frames write
//! their answers to buffer() (a Float64Array view of the module's memory).
class PageArm {
public:
    //! Sets the arm up from the readers' values: "" when it is ready,
    //! otherwise the reason (the arm it had stays).
    std::string setUp(const val& values) {
        LoadedArm arm;
        std::string reason;
        if (!describeArm(armInput(values), arm, reason)) return reason;
        if (const SetupResult r = model_.setUp(arm.description); !r) return describe(r);
        loaded_ = std::move(arm);
        options_ = SolveOptions{};
        options_.limits = jointLimits(loaded_.limits);
        return "";
    }

    std::string name() const { return loaded_.name; }
    std::string jointName(int k) const { return k >= 0 && k < 6 ? loaded_.jointNames[k] : ""; }
    std::string jointTypes() const { return std::string(model_.arm().JTYPE.data()); }
    //! Joint k's limits; +-Infinity where the file gives none.
    double lower(int k) const { return k >= 0 && k < 6 ? loaded_.limits[k].lower : 0.0; }
    double upper(int k) const { return k >= 0 && k < 6 ? loaded_.limits[k].upper : 0.0; }

    //! Every branch of the pose within the file's limits, as `armkin ik
    //! --mode all` gives them: count solutions at the front of the buffer
    //! (kSolutionStride doubles each). 0: status() and reason() say why.
    int solve(double x, double y, double z, double r00, double r01, double r02, double r10, double r11,
              double r12, double r20, double r21, double r22) {
        const Pose target = pose(x, y, z, r00, r01, r02, r10, r11, r12, r20, r21, r22);
        const int count = armkin::solve(model_.model(), model_.workspace(), target, options_, result_);
        status_ = result_.status;
        reason_ = describe(result_);
        for (int i = 0; i < count && i < kBufferSolutions; ++i) put(i, result_.solutions[i]);
        return count < kBufferSolutions ? count : kBufferSolutions;
    }

    //! The tracking step from seed q: one solution at the front of the
    //! buffer and true, or false with status() and reason().
    bool track(double x, double y, double z, double r00, double r01, double r02, double r10, double r11,
               double r12, double r20, double r21, double r22, double q0, double q1, double q2, double q3,
               double q4, double q5) {
        const Pose target = pose(x, y, z, r00, r01, r02, r10, r11, r12, r20, r21, r22);
        Solution s;
        status_ = model_.track(target, {q0, q1, q2, q3, q4, q5}, options_, s);
        reason_ = status_ == Status::Ok ? "" : describe(status_);
        if (status_ == Status::Ok) put(0, s);
        return status_ == Status::Ok;
    }

    //! The tool pose of q: kPoseStride doubles at the front of the buffer.
    void forward(double q0, double q1, double q2, double q3, double q4, double q5) {
        Pose p;
        model_.forward({q0, q1, q2, q3, q4, q5}, p);
        putPose(0, p);
    }

    //! Base, joint frames 0 to 5 and tool at q: 8 poses at the front of the buffer.
    void frames(double q0, double q1, double q2, double q3, double q4, double q5) {
        std::array<Pose, 8> f;
        model_.frames({q0, q1, q2, q3, q4, q5}, f);
        for (int i = 0; i < 8; ++i) putPose(i, f[i]);
    }

    std::string status() const { return armkin::name(status_); }
    std::string reason() const { return reason_; }
    std::uintptr_t buffer() const { return reinterpret_cast<std::uintptr_t>(buffer_.data()); }

private:
    static constexpr int kBufferSolutions = kMaxSolverSolutions;

    static Pose pose(double x, double y, double z, double r00, double r01, double r02, double r10, double r11,
                     double r12, double r20, double r21, double r22) {
        Pose p;
        p.position = {x, y, z};
        p.rotation = {{{r00, r01, r02}, {r10, r11, r12}, {r20, r21, r22}}};
        return p;
    }

    void put(int i, const Solution& s) {
        double* out = buffer_.data() + i * kSolutionStride;
        for (int k = 0; k < 6; ++k) out[k] = s.joints[k];
        out[6] = s.positionError;
        out[7] = s.rotationError;
        out[8] = static_cast<double>(s.status);
    }

    void putPose(int i, const Pose& p) {
        double* out = buffer_.data() + i * kPoseStride;
        out[0] = p.position.x;
        out[1] = p.position.y;
        out[2] = p.position.z;
        for (int r = 0; r < 3; ++r) {
            for (int c = 0; c < 3; ++c) out[3 + 3 * r + c] = p.rotation[r][c];
        }
    }

    Engine model_;
    LoadedArm loaded_;
    SolveOptions options_;
    SolveResult result_;
    Status status_ = Status::Ok;
    const char* reason_ = "";  //!< the library's static text
    std::array<double, kBufferSolutions * kSolutionStride> buffer_{};
};

//! "exact", "converged" or "singular" for the status code of a solution.
std::string solutionStatusName(int code) { return armkin::name(static_cast<SolutionStatus>(code)); }

EMSCRIPTEN_BINDINGS(armkin_page) {
    emscripten::class_<PageArm>("PageArm")
        .constructor<>()
        .function("setUp", &PageArm::setUp)
        .function("name", &PageArm::name)
        .function("jointName", &PageArm::jointName)
        .function("jointTypes", &PageArm::jointTypes)
        .function("lower", &PageArm::lower)
        .function("upper", &PageArm::upper)
        .function("solve", &PageArm::solve)
        .function("track", &PageArm::track)
        .function("forward", &PageArm::forward)
        .function("frames", &PageArm::frames)
        .function("status", &PageArm::status)
        .function("reason", &PageArm::reason)
        .function("buffer", &PageArm::buffer);
    emscripten::function("solutionStatusName", &solutionStatusName);
    emscripten::constant("solutionStride", kSolutionStride);
    emscripten::constant("poseStride", kPoseStride);
}

}  // namespace armkin::web
