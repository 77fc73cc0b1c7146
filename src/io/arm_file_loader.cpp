// The YAML arm file (docs/arm-files.md): a DH table or the description's
// own world frames at zero, with joint types, limits and the tool, and the
// unit of its angles.

#include <yaml-cpp/depthguard.h>
#include <yaml-cpp/eventhandler.h>
#include <yaml-cpp/yaml.h>

#include <cmath>
#include <exception>
#include <map>
#include <new>
#include <numbers>
#include <sstream>
#include <string>
#include <vector>

#include "arm/dh_table.hpp"
#include "io/io_detail.hpp"
#include "numeric/geometry_types.hpp"

namespace armkin {

namespace {

using kin::Frame;

using io::failure;
using io::quoted;

//! A valid arm file holds a few hundred nodes; more than this is refused
//! before any node is built.
constexpr long kMaxYamlNodes = 10000;

//! The unit of every angle in the file: DH alpha and theta, rpy, and the
//! limits of turning joints. Set by the top-level key `angles`.
enum class AngleUnit { radians, degrees };

//! How far an angle of the file may reach either way, in radians, and the
//! same in words for the error.
struct AngleBound {
    double radians;
    const char* words;
};
//! A fixed angle (DH alpha and theta, rpy) lies within one turn.
constexpr AngleBound kFixedAngle{2.0 * std::numbers::pi, "one turn"};
//! Some arms have joints that turn further than one turn, and a joint that
//! turns without end leaves its limits out; limits beyond two turns are
//! most likely degrees read as radians.
constexpr AngleBound kTurningLimit{4.0 * std::numbers::pi, "two turns"};

//! Thrown by NodeCounter to stop the parse once the file is too big.
struct TooManyNodes {};

//! Counts nodes and documents without building anything.
class NodeCounter final : public YAML::EventHandler {
public:
    long nodes = 0;
    int documents = 0;
    void OnDocumentStart(const YAML::Mark&) override { ++documents; }
    void OnDocumentEnd() override {}
    void OnNull(const YAML::Mark&, YAML::anchor_t) override { count(); }
    void OnAlias(const YAML::Mark&, YAML::anchor_t) override { count(); }
    void OnScalar(const YAML::Mark&, const std::string&, YAML::anchor_t, const std::string&) override { count(); }
    void OnSequenceStart(const YAML::Mark&, const std::string&, YAML::anchor_t, YAML::EmitterStyle::value) override {
        count();
    }
    void OnSequenceEnd() override {}
    void OnMapStart(const YAML::Mark&, const std::string&, YAML::anchor_t, YAML::EmitterStyle::value) override {
        count();
    }
    void OnMapEnd() override {}

private:
    void count() {
        if (++nodes > kMaxYamlNodes) throw TooManyNodes{};
    }
};

int lineOf(const YAML::Node& n) {
    if (!n.IsDefined()) return 0;
    const YAML::Mark m = n.Mark();
    return m.is_null() || m.line < 0 ? 0 : m.line + 1;
}

//! The value nodes of a map, by key, with the key nodes for their lines.
struct Fields {
    YAML::Node map;
    std::map<std::string, std::pair<YAML::Node, YAML::Node>, std::less<>> entries;  // key -> (key, value)

    const YAML::Node* find(std::string_view key) const {
        const auto it = entries.find(key);
        return it == entries.end() ? nullptr : &it->second.second;
    }
};

class Reader {
public:
    explicit Reader(const std::string& source) : source_(source) {}

    LoadResult error() const { return failure(source_, line_, reason_); }

    bool fail(const YAML::Node& at, std::string reason) {
        line_ = lineOf(at);
        reason_ = std::move(reason);
        return false;
    }
    bool fail(int line, std::string reason) {
        line_ = line;
        reason_ = std::move(reason);
        return false;
    }

    //! A map whose keys are all in `allowed`, each once.
    bool fields(const YAML::Node& n, const std::string& what, std::initializer_list<std::string_view> allowed,
                Fields& out) {
        if (!n.IsMap()) return fail(n, what + " must be a mapping");
        out.map = n;
        for (auto it = n.begin(); it != n.end(); ++it) {
            const YAML::Node key = it->first;
            if (!key.IsScalar()) return fail(key, what + ": a key that is not a plain name");
            const std::string& k = key.Scalar();
            bool known = false;
            for (std::string_view a : allowed) known = known || a == k;
            if (!known) return fail(key, what + ": unknown key " + quoted(k));
            if (!out.entries.emplace(k, std::make_pair(key, it->second)).second)
                return fail(key, what + ": key " + quoted(k) + " given twice");
        }
        return true;
    }

    //! fields.find(key), or an error naming the map's line.
    const YAML::Node* require(const Fields& f, std::string_view key, const std::string& what) {
        if (const YAML::Node* n = f.find(key)) return n;
        fail(f.map, what + ": missing " + quoted(key));
        return nullptr;
    }

    bool number(const YAML::Node& n, const std::string& what, double& out) {
        if (!n.IsScalar()) return fail(n, what + " must be a number");
        const std::string& s = n.Scalar();
        const io::NumberText kind = io::parseNumber(s, out);
        if (kind != io::NumberText::finite) return fail(n, what + ": " + io::numberProblem(kind, s));
        return true;
    }

    bool numbers(const YAML::Node& n, const std::string& what, std::size_t count, double* out) {
        if (!n.IsSequence() || n.size() != count)
            return fail(n, what + " must be a list of " + std::to_string(count) + " numbers");
        for (std::size_t i = 0; i < count; ++i) {
            if (!number(n[i], what, out[i])) return false;
        }
        return true;
    }

    //! An angle in the file's unit, returned in radians; refused beyond
    //! `bound` (radians) either way.
    bool angle(const YAML::Node& n, const std::string& what, const AngleBound& bound, double& out) {
        double written = 0.0;
        if (!number(n, what, written)) return false;
        out = unit_ == AngleUnit::degrees ? written * (std::numbers::pi / 180.0) : written;
        if (std::fabs(out) <= bound.radians) return true;
        const std::string beyond = what + " is " + io::formatNumber(written);
        if (unit_ == AngleUnit::degrees)
            return fail(n, beyond + " degrees, more than " + bound.words + " either way");
        return fail(n, beyond + " rad, more than " + bound.words +
                           " either way; angles are radians unless the file says 'angles: degrees'");
    }

    bool vec3(const YAML::Node& n, const std::string& what, Vec3& out) {
        double v[3];
        if (!numbers(n, what, 3, v)) return false;
        out = {v[0], v[1], v[2]};
        return true;
    }

    bool text(const YAML::Node& n, const std::string& what, std::string& out) {
        if (!n.IsScalar()) return fail(n, what + " must be a plain value");
        out = n.Scalar();
        return true;
    }

    //! type: R or S, for joint k.
    bool jointType(const YAML::Node& n, int k, const std::string& what, JointType& out) {
        std::string t;
        if (!text(n, what + ": type", t)) return false;
        if (t == "R") {
            out = JointType::Turning;
        } else if (t == "S") {
            out = JointType::Sliding;
        } else {
            return fail(n, what + ": unsupported joint type " + quoted(t) + " (R turns, S slides)");
        }
        if (out == JointType::Sliding && k >= 3)
            return fail(n, what + " slides; joints 3 to 5 must turn");
        return true;
    }

    //! limits: [lower, upper] (angles for a turning joint, metres for a
    //! sliding one), or unbounded.
    bool limits(const Fields& f, JointType type, const std::string& what, JointRange& out) {
        out = io::kUnbounded;
        const YAML::Node* n = f.find("limits");
        if (!n) return true;
        double v[2];
        if (!numbers(*n, what + ": limits", 2, v)) return false;
        if (type == JointType::Turning) {
            for (int i = 0; i < 2; ++i) {
                if (!angle((*n)[i], what + ": limit", kTurningLimit, v[i])) return false;
            }
        }
        if (v[0] > v[1])
            return fail(*n, what + ": lower limit " + io::formatNumber(v[0]) + " above upper limit " +
                                io::formatNumber(v[1]));
        out = {v[0], v[1]};
        return true;
    }

    //! {xyz: [..], rpy: [..]}, both optional.
    bool offset(const YAML::Node& n, const std::string& what, Frame& out) {
        Fields f;
        if (!fields(n, what, {"xyz", "rpy"}, f)) return false;
        Vec3 xyz, rpy;
        if (const YAML::Node* x = f.find("xyz"); x && !vec3(*x, what + ": xyz", xyz)) return false;
        if (const YAML::Node* r = f.find("rpy")) {
            double v[3];
            if (!numbers(*r, what + ": rpy", 3, v)) return false;
            const char* parts[3] = {"roll", "pitch", "yaw"};
            for (int i = 0; i < 3; ++i) {
                if (!angle((*r)[i], what + ": " + parts[i], kFixedAngle, v[i])) return false;
            }
            rpy = {v[0], v[1], v[2]};
        }
        out = io::frameFromXyzRpy(xyz, rpy);
        return true;
    }

    //! {origin, x, y, z}: a frame in world coordinates.
    bool frame(const Fields& f, const std::string& what, Vec3& origin, Axes& axes) {
        const YAML::Node* o = require(f, "origin", what);
        if (!o || !vec3(*o, what + ": origin", origin)) return false;
        Vec3* targets[3] = {&axes.X, &axes.Y, &axes.Z};
        const char* names[3] = {"x", "y", "z"};
        for (int i = 0; i < 3; ++i) {
            const YAML::Node* a = require(f, names[i], what);
            if (!a || !vec3(*a, what + ": " + names[i], *targets[i])) return false;
            Vec3 unit;
            if (!io::unitAxis(*targets[i], unit)) return fail(*a, what + ": zero-length axis " + names[i]);
        }
        return true;
    }

    bool joints(const Fields& form, const std::string& what, const YAML::Node*& list) {
        list = require(form, "joints", what);
        if (!list) return false;
        if (!list->IsSequence() || list->size() != 6)
            return fail(*list, what + ": joints must be a list of 6 joints, found " +
                                   (list->IsSequence() ? std::to_string(list->size()) : std::string("no list")));
        return true;
    }

    bool readDh(const YAML::Node& n, LoadedArm& arm) {
        Fields f;
        if (!fields(n, "dh", {"convention", "base", "joints", "tool"}, f)) return false;
        const YAML::Node* c = require(f, "convention", "dh");
        std::string convention;
        if (!c || !text(*c, "dh: convention", convention)) return false;
        kin::DhConvention conv;
        if (convention == "standard") {
            conv = kin::DhConvention::Standard;
        } else if (convention == "modified") {
            conv = kin::DhConvention::Modified;
        } else {
            return fail(*c, "dh: convention must be 'standard' or 'modified', not " + quoted(convention));
        }
        Frame base = kin::identityFrame(), tool = kin::identityFrame();
        if (const YAML::Node* b = f.find("base"); b && !offset(*b, "dh: base", base)) return false;
        if (const YAML::Node* t = f.find("tool"); t && !offset(*t, "dh: tool", tool)) return false;
        const YAML::Node* list = nullptr;
        if (!joints(f, "dh", list)) return false;

        kin::DhTable table;
        table.convention = conv;
        table.base = base;
        table.flange = tool;
        std::array<JointType, 6> types{};
        for (int k = 0; k < 6; ++k) {
            const std::string what = "joint " + std::to_string(k);
            Fields j;
            if (!fields((*list)[k], what, {"name", "type", "a", "alpha", "d", "theta", "limits"}, j)) return false;
            const YAML::Node* type = require(j, "type", what);
            if (!type || !jointType(*type, k, what, types[k])) return false;
            kin::DhRow& row = table.rows[k];
            row.type = static_cast<char>(types[k]);
            double* values[4] = {&row.a, &row.alpha, &row.d, &row.offset};
            const char* keys[4] = {"a", "alpha", "d", "theta"};
            const bool isAngle[4] = {false, true, false, true};
            for (int i = 0; i < 4; ++i) {
                const YAML::Node* v = require(j, keys[i], what);
                const std::string key = what + ": " + keys[i];
                if (!v || !(isAngle[i] ? angle(*v, key, kFixedAngle, *values[i]) : number(*v, key, *values[i])))
                    return false;
            }
            if (const YAML::Node* name = j.find("name"); name && !text(*name, what + ": name", arm.jointNames[k]))
                return false;
            if (!limits(j, types[k], what, arm.limits[k])) return false;
        }
        if (!kin::describeDhArm(table, arm.description))
            return fail(*list, "dh: the table gives non-finite frames");
        return true;
    }

    bool readFrames(const YAML::Node& n, LoadedArm& arm) {
        Fields f;
        if (!fields(n, "frames", {"base", "joints", "tool"}, f)) return false;
        ArmDescription& d = arm.description;
        d.armBasePos = {0, 0, 0};
        d.armBaseAxes = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
        std::array<int, 8> lines{};  // base, joints 0..5, tool
        if (const YAML::Node* b = f.find("base")) {
            Fields bf;
            if (!fields(*b, "frames: base", {"origin", "x", "y", "z"}, bf) ||
                !frame(bf, "frames: base", d.armBasePos, d.armBaseAxes))
                return false;
            lines[0] = lineOf(*b);
        }
        const YAML::Node* list = nullptr;
        if (!joints(f, "frames", list)) return false;
        for (int k = 0; k < 6; ++k) {
            const std::string what = "joint " + std::to_string(k);
            const YAML::Node& jn = (*list)[k];
            Fields j;
            if (!fields(jn, what, {"name", "type", "origin", "x", "y", "z", "limits"}, j)) return false;
            const YAML::Node* type = require(j, "type", what);
            JointType jt;
            if (!type || !jointType(*type, k, what, jt)) return false;
            if (!frame(j, what, d.armJointPos[k], d.armJointAxes[k])) return false;
            if (const YAML::Node* name = j.find("name"); name && !text(*name, what + ": name", arm.jointNames[k]))
                return false;
            if (!limits(j, jt, what, arm.limits[k])) return false;
            d.JTYPE[k] = static_cast<char>(jt);
            lines[1 + k] = lineOf(jn);
        }
        const YAML::Node* t = require(f, "tool", "frames");
        Fields tf;
        if (!t || !fields(*t, "frames: tool", {"origin", "x", "y", "z"}, tf) ||
            !frame(tf, "frames: tool", d.armJointPos[6], d.armJointAxes[6]))
            return false;
        lines[7] = lineOf(*t);

        // The axes as written must already be orthonormal and right-handed.
        if (const SetupResult check = validate(d); !check) {
            const int entry = static_cast<int>(check.entry);
            return fail(entry >= -1 && entry <= 6 ? lines[entry + 1] : lineOf(*list), describe(check));
        }
        return true;
    }

    bool read(const YAML::Node& root, LoadedArm& arm) {
        if (!root.IsMap()) return fail(root.IsDefined() ? lineOf(root) : 1, "the file is not a YAML mapping");
        Fields top;
        if (!fields(root, "the file", {"version", "name", "angles", "dh", "frames"}, top)) return false;
        if (const YAML::Node* v = top.find("version")) {
            double version = 0;
            if (!number(*v, "version", version)) return false;
            if (version != 1.0) return fail(*v, "version " + io::formatNumber(version) + " is not supported (only 1)");
        }
        if (const YAML::Node* name = top.find("name"); name && !text(*name, "name", arm.name)) return false;
        if (const YAML::Node* a = top.find("angles")) {
            std::string unit;
            if (!text(*a, "angles", unit)) return false;
            if (unit == "radians") {
                unit_ = AngleUnit::radians;
            } else if (unit == "degrees") {
                unit_ = AngleUnit::degrees;
            } else {
                return fail(*a, "angles must be 'radians' or 'degrees', not " + quoted(unit));
            }
        }
        const YAML::Node* dh = top.find("dh");
        const YAML::Node* frames = top.find("frames");
        if (dh && frames) return fail(*frames, "give either 'dh' or 'frames', not both");
        if (dh) return readDh(*dh, arm);
        if (frames) return readFrames(*frames, arm);
        return fail(root, "the file has neither 'dh' nor 'frames'");
    }

private:
    const std::string& source_;
    AngleUnit unit_ = AngleUnit::radians;
    int line_ = 0;
    std::string reason_;
};

LoadResult loadParsed(std::string_view yaml, const std::string& source) {
    LoadError error;
    if (!io::checkText(yaml, source, "YAML", error)) return failure(error.file, error.line, error.reason);
    const std::string text(yaml);

    // Count first: the node tree is built only for a file of sensible size.
    {
        std::istringstream in(text);
        YAML::Parser parser(in);
        NodeCounter counter;
        try {
            while (parser.HandleNextDocument(counter)) {
                if (counter.documents > 1) return failure(source, 0, "more than one YAML document");
            }
        } catch (const TooManyNodes&) {
            return failure(source, 0, "too many YAML nodes (more than " + std::to_string(kMaxYamlNodes) + ")");
        }
        if (counter.documents == 0) return failure(source, 0, "empty file");
    }

    const YAML::Node root = YAML::Load(text);
    LoadedArm arm;
    Reader reader(source);
    if (!reader.read(root, arm)) return reader.error();
    return io::finish(std::move(arm), source);
}

}  // namespace

LoadResult loadArmFileText(std::string_view yaml, const std::string& sourceName) {
    try {
        return loadParsed(yaml, sourceName);
    } catch (const YAML::DeepRecursion& e) {
        const int line = e.mark.is_null() || e.mark.line < 0 ? 0 : e.mark.line + 1;
        return failure(sourceName, line, "malformed YAML: nested more than " + std::to_string(e.depth() - 1) +
                                             " levels deep");
    } catch (const YAML::Exception& e) {
        const int line = e.mark.is_null() || e.mark.line < 0 ? 0 : e.mark.line + 1;
        return failure(sourceName, line, "malformed YAML: " + e.msg);
    } catch (const std::bad_alloc&) {
        return failure(sourceName, 0, "out of memory");
    } catch (const std::exception& e) {
        return failure(sourceName, 0, std::string("the YAML reader failed: ") + e.what());
    } catch (...) {
        return failure(sourceName, 0, "the YAML reader failed");
    }
}

LoadResult loadArmFile(const std::string& path) {
    try {
        std::string text;
        LoadError error;
        if (!io::readArmFile(path, text, error)) return failure(error.file, error.line, error.reason);
        return loadArmFileText(text, path);
    } catch (const std::bad_alloc&) {
        return failure(path, 0, "out of memory");
    } catch (...) {
        return failure(path, 0, "the file could not be read");
    }
}

}  // namespace armkin
