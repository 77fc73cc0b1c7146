// The YAML study file (docs/reach.md): the arm file, the targets, the
// placements and the options of a reach study, with the CSV files of
// targets and placements it may name.

#include <yaml-cpp/yaml.h>

#include <armkin/study_file.hpp>

#include <cmath>
#include <fstream>
#include <new>
#include <numbers>
#include <vector>

#include "io/io_detail.hpp"

namespace armkin {

namespace {

using io::quoted;

//! Raised inside the loader only: the line (0: none) and the reason.
struct Refusal {
    std::string file;
    int line;
    std::string reason;
};

int lineOf(const YAML::Node& n) {
    const YAML::Mark m = n.Mark();
    return m.is_null() || m.line < 0 ? 0 : m.line + 1;
}

std::string folderOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? "" : path.substr(0, slash + 1);
}

std::string stemOf(const std::string& path) {
    std::string s = path.substr(path.find_last_of('/') + 1);
    if (const std::size_t dot = s.find_last_of('.'); dot != std::string::npos && dot > 0) s.resize(dot);
    return s;
}

//! Reads records of numbers from a CSV or blank-separated file: '#' starts
//! a comment line, blank lines are skipped, and a first line that does not
//! start with a number is a header.
std::vector<std::vector<double>> readRecords(const std::string& path) {
    std::ifstream in(path);
    if (!in) throw Refusal{path, 0, "cannot be read"};
    std::vector<std::vector<double>> records;
    std::string line;
    int number = 0;
    bool first = true;
    std::vector<double> row;
    while (std::getline(in, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const std::size_t start = line.find_first_not_of(" \t");
        if (start == std::string::npos || line[start] == '#') continue;
        row.clear();
        std::size_t at = start;
        bool header = false;
        while (at < line.size()) {
            const std::size_t end = line.find_first_of(", \t", at);
            const std::string_view field =
                std::string_view(line).substr(at, end == std::string::npos ? std::string::npos : end - at);
            if (!field.empty()) {
                double v = 0.0;
                const io::NumberText kind = io::parseNumber(field, v);
                if (kind != io::NumberText::finite) {
                    if (first && row.empty()) {
                        header = true;
                        break;
                    }
                    throw Refusal{path, number, io::numberProblem(kind, field)};
                }
                row.push_back(v);
            }
            if (end == std::string::npos) break;
            at = end + 1;
        }
        first = false;
        if (!header) records.push_back(row);
    }
    return records;
}

class StudyReader {
public:
    StudyReader(std::string source, std::string folder) : source_(std::move(source)), folder_(std::move(folder)) {}

    [[noreturn]] void fail(const YAML::Node& at, const std::string& reason) const {
        throw Refusal{source_, lineOf(at), reason};
    }

    //! A map's entries by key; keys outside `allowed` are refused.
    std::map<std::string, YAML::Node> fields(const YAML::Node& n, const std::string& what,
                                             std::initializer_list<std::string_view> allowed) const {
        if (!n.IsMap()) fail(n, what + " must be a mapping");
        std::map<std::string, YAML::Node> out;
        for (auto it = n.begin(); it != n.end(); ++it) {
            if (!it->first.IsScalar()) fail(it->first, what + ": a key that is not a plain name");
            const std::string k = it->first.Scalar();
            bool known = false;
            for (std::string_view a : allowed) known = known || a == k;
            if (!known) fail(it->first, what + ": unknown key " + quoted(k));
            if (!out.emplace(k, it->second).second) fail(it->first, what + ": key " + quoted(k) + " given twice");
        }
        return out;
    }

    double number(const YAML::Node& n, const std::string& what) const {
        if (!n.IsScalar()) fail(n, what + " must be a number");
        double v = 0.0;
        const io::NumberText kind = io::parseNumber(n.Scalar(), v);
        if (kind != io::NumberText::finite) fail(n, what + ": " + io::numberProblem(kind, n.Scalar()));
        return v;
    }

    std::vector<double> numbers(const YAML::Node& n, const std::string& what, std::size_t count) const {
        if (!n.IsSequence() || n.size() != count)
            fail(n, what + " must be a list of " + std::to_string(count) + " numbers");
        std::vector<double> v;
        for (std::size_t i = 0; i < count; ++i) v.push_back(number(n[i], what));
        return v;
    }

    std::string text(const YAML::Node& n, const std::string& what) const {
        if (!n.IsScalar() || n.Scalar().empty()) fail(n, what + " must be a plain value");
        return n.Scalar();
    }

    std::string path(const YAML::Node& n, const std::string& what) const {
        const std::string p = text(n, what);
        return p.front() == '/' ? p : folder_ + p;
    }

    //! Records of `widths` numbers each: an inline list of lists, or a CSV
    //! file named by a plain value.
    std::vector<std::vector<double>> records(const YAML::Node& n, const std::string& what,
                                             std::initializer_list<std::size_t> widths) const {
        std::vector<std::vector<double>> out;
        auto fits = [&](std::size_t w) { return std::find(widths.begin(), widths.end(), w) != widths.end(); };
        std::string expected;
        for (std::size_t w : widths) expected += (expected.empty() ? "" : " or ") + std::to_string(w);
        if (n.IsScalar()) {
            const std::string file = path(n, what);
            out = readRecords(file);
            for (std::size_t i = 0; i < out.size(); ++i)
                if (!fits(out[i].size()))
                    throw Refusal{file, 0, "record " + std::to_string(i + 1) + " holds " +
                                               std::to_string(out[i].size()) + " numbers, expected " + expected};
            return out;
        }
        if (!n.IsSequence()) fail(n, what + " must be a file name or a list of records");
        for (std::size_t i = 0; i < n.size(); ++i) {
            const YAML::Node r = n[i];
            if (!r.IsSequence() || !fits(r.size()))
                fail(r, what + ": each record must be a list of " + expected + " numbers");
            std::vector<double> row;
            for (std::size_t k = 0; k < r.size(); ++k) row.push_back(number(r[k], what));
            out.push_back(std::move(row));
        }
        return out;
    }

    double angleScale = 1.0;  //!< radians per unit of the file's angles

private:
    std::string source_;
    std::string folder_;
};

//! A grid axis: a number, or [start, stop, count] (count values from start
//! to stop, both included).
std::vector<double> gridAxis(const StudyReader& r, const YAML::Node* n, const std::string& what, double scale) {
    if (!n) return {0.0};
    if (n->IsScalar()) return {r.number(*n, what) * scale};
    const std::vector<double> v = r.numbers(*n, what + " (start, stop, count)", 3);
    if (v[2] < 1 || v[2] > 1e6 || v[2] != std::floor(v[2]))
        r.fail(*n, what + ": the count must be a whole number from 1 to 1000000");
    const int count = static_cast<int>(v[2]);
    std::vector<double> out;
    for (int i = 0; i < count; ++i)
        out.push_back((count == 1 ? v[0] : v[0] + (v[1] - v[0]) * i / (count - 1)) * scale);
    return out;
}

const YAML::Node* find(const std::map<std::string, YAML::Node>& f, const std::string& key) {
    const auto it = f.find(key);
    return it == f.end() ? nullptr : &it->second;
}

StudyLoadResult refused(const std::string& file, int line, const std::string& reason) {
    StudyLoadResult r;
    const LoadResult f = io::failure(file, line, reason);
    r.status = f.status;
    r.error = f.error;
    return r;
}

StudyLoadResult readStudy(std::string_view yaml, const std::string& source, const std::string& folder) {
    StudyReader r(source, folder);
    const YAML::Node root = YAML::Load(std::string(yaml));
    const auto top = r.fields(root, "the study",
                              {"version", "name", "arm", "base", "tip", "angles", "targets", "placements",
                               "limits", "seed", "weights", "score"});
    if (const YAML::Node* v = find(top, "version"); v && r.text(*v, "version") != "1")
        r.fail(*v, "version: this loader reads version 1");
    if (const YAML::Node* a = find(top, "angles")) {
        const std::string unit = r.text(*a, "angles");
        if (unit == "degrees") r.angleScale = std::numbers::pi / 180.0;
        else if (unit != "radians") r.fail(*a, "angles must be radians or degrees");
    }
    StudyLoadResult out;
    out.study.name = stemOf(source);
    if (const YAML::Node* n = find(top, "name")) out.study.name = r.text(*n, "name");

    const YAML::Node* armNode = find(top, "arm");
    if (!armNode) r.fail(root, "the study: missing 'arm'");
    UrdfOptions links;
    if (const YAML::Node* b = find(top, "base")) links.baseLink = r.text(*b, "base");
    if (const YAML::Node* t = find(top, "tip")) links.tipLink = r.text(*t, "tip");
    const LoadResult arm = loadArm(r.path(*armNode, "arm"), links);
    if (!arm) {
        StudyLoadResult failed;
        failed.status = arm.status;
        failed.error = arm.error;
        return failed;
    }
    out.study.arm = arm.arm;
    const ArmDescription& d = arm.arm.description;
    auto turning = [&](int k) { return d.JTYPE[k] == static_cast<char>(JointType::Turning); };

    ReachOptions options;
    options.limits = jointLimits(arm.arm.limits);
    if (const YAML::Node* l = find(top, "limits"); l && !(l->IsScalar() && l->Scalar() == "arm")) {
        if (!l->IsSequence() || l->size() != 6) r.fail(*l, "limits must be 'arm' or six [lower, upper] pairs");
        for (int k = 0; k < 6; ++k) {
            const std::vector<double> v = r.numbers((*l)[k], "limits of joint " + std::to_string(k), 2);
            const double s = turning(k) ? r.angleScale : 1.0;
            options.limits.lower[k] = v[0] * s;
            options.limits.upper[k] = v[1] * s;
        }
    }
    if (const YAML::Node* s = find(top, "seed")) {
        const std::vector<double> v = r.numbers(*s, "seed", 6);
        for (int k = 0; k < 6; ++k) options.seed[k] = v[k] * (turning(k) ? r.angleScale : 1.0);
    }
    if (const YAML::Node* w = find(top, "weights")) {
        const std::vector<double> v = r.numbers(*w, "weights", 6);
        std::copy(v.begin(), v.end(), options.weights.begin());
    }
    if (const YAML::Node* s = find(top, "score"); s && !parseReachScore(r.text(*s, "score"), options.score))
        r.fail(*s, "score must be manipulability, limit_distance or seed_distance");

    const YAML::Node* targetsNode = find(top, "targets");
    if (!targetsNode) r.fail(root, "the study: missing 'targets'");
    const auto t = r.fields(*targetsNode, "targets", {"poses", "points", "spins"});
    const YAML::Node* poses = find(t, "poses");
    const YAML::Node* points = find(t, "points");
    if ((poses != nullptr) == (points != nullptr)) r.fail(*targetsNode, "targets: give either poses or points");
    if (const YAML::Node* s = find(t, "spins")) {
        const double v = r.number(*s, "spins");
        if (v < 1 || v > kMaxReachSpins || v != std::floor(v))
            r.fail(*s, "spins must be a whole number from 1 to " + std::to_string(kMaxReachSpins));
        options.spins = static_cast<int>(v);
    }
    std::vector<Pose> targets;
    if (poses) {
        for (const std::vector<double>& v : r.records(*poses, "poses", {12})) {
            Pose p;
            p.position = {v[0], v[1], v[2]};
            for (int i = 0; i < 3; ++i)
                for (int j = 0; j < 3; ++j) p.rotation[i][j] = v[3 + 3 * i + j];
            targets.push_back(p);
        }
    } else {
        const auto records = r.records(*points, "points", {6});
        for (std::size_t i = 0; i < records.size(); ++i) {
            const std::vector<double>& v = records[i];
            Pose p;
            if (!surfacePose({v[0], v[1], v[2]}, {v[3], v[4], v[5]}, p))
                r.fail(*points, "points: the normal of point " + std::to_string(i) + " is zero");
            targets.push_back(p);
        }
    }

    const YAML::Node* placementsNode = find(top, "placements");
    if (!placementsNode) r.fail(root, "the study: missing 'placements'");
    const auto pl = r.fields(*placementsNode, "placements", {"list", "grid"});
    const YAML::Node* list = find(pl, "list");
    const YAML::Node* grid = find(pl, "grid");
    if ((list != nullptr) == (grid != nullptr)) r.fail(*placementsNode, "placements: give either list or grid");
    std::vector<Placement> placements;
    if (list) {
        for (const std::vector<double>& v : r.records(*list, "placements", {3, 4}))
            placements.push_back({{v[0], v[1], v[2]}, v.size() == 4 ? v[3] * r.angleScale : 0.0});
    } else {
        const auto g = r.fields(*grid, "grid", {"x", "y", "z", "turn"});
        const auto xs = gridAxis(r, find(g, "x"), "grid x", 1.0);
        const auto ys = gridAxis(r, find(g, "y"), "grid y", 1.0);
        const auto zs = gridAxis(r, find(g, "z"), "grid z", 1.0);
        const auto turns = gridAxis(r, find(g, "turn"), "grid turn", r.angleScale);
        if (xs.size() * ys.size() * zs.size() * turns.size() > 100000000)
            r.fail(*grid, "grid: more than 100000000 placements");
        for (double x : xs)
            for (double y : ys)
                for (double z : zs)
                    for (double turn : turns) placements.push_back({{x, y, z}, turn});
    }
    std::string why;
    if (!out.study.study.setUp(d, std::move(targets), std::move(placements), options, &why))
        r.fail(root, why);
    return out;
}

}  // namespace

StudyLoadResult loadStudyText(std::string_view yaml, const std::string& sourceName, const std::string& folder) {
    try {
        LoadError error;
        if (!io::checkText(yaml, sourceName, "YAML", error)) return refused(error.file, error.line, error.reason);
        std::string dir = folder;
        if (!dir.empty() && dir.back() != '/') dir += '/';
        return readStudy(yaml, sourceName, dir);
    } catch (const Refusal& r) {
        return refused(r.file, r.line, r.reason);
    } catch (const YAML::Exception& e) {
        return refused(sourceName, e.mark.is_null() ? 0 : e.mark.line + 1, e.msg);
    } catch (const std::bad_alloc&) {
        return refused(sourceName, 0, "out of memory");
    } catch (...) {
        return refused(sourceName, 0, "the study could not be read");
    }
}

StudyLoadResult loadStudy(const std::string& path) {
    try {
        std::string text;
        LoadError error;
        if (!io::readArmFile(path, text, error)) return refused(error.file, error.line, error.reason);
        return loadStudyText(text, path, folderOf(path));
    } catch (...) {
        return refused(path, 0, "the study could not be read");
    }
}

}  // namespace armkin
