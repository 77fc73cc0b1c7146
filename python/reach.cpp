#include "reach.hpp"

#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <pybind11/functional.h>
#include <pybind11/numpy.h>

#include <armkin/reach_files.hpp>
#include <armkin/study_file.hpp>

#include "convert.hpp"

namespace armkin_py {

namespace {

//! A study set up and shared (read only) by the threads that run it and
//! the ReachFiles that write its results.
struct Study {
    std::shared_ptr<armkin::ReachStudy> study;
    std::string name;
};

Study fromResult(armkin::StudyLoadResult r) {
    if (!r) throw py::value_error(r.error.message());
    return Study{std::make_shared<armkin::ReachStudy>(std::move(r.study.study)), r.study.name};
}

//! What the totals read of a row (armkin::ReachTotals::add): a third of a
//! row's bytes, so that a cluster's workers send less.
struct Tally {
    std::int32_t placement;
    armkin::Status status;
    double manipulability;
    double limitDistance;
    double seedDistance;
};

py::bytes tallyBytes(std::span<const armkin::ReachRow> rows) {
    std::vector<Tally> t;
    t.reserve(rows.size());
    for (const armkin::ReachRow& r : rows)
        t.push_back({r.placement, r.status, r.manipulability, r.limitDistance, r.seedDistance});
    return py::bytes(reinterpret_cast<const char*>(t.data()), t.size() * sizeof(Tally));
}

//! Rows as far as the totals read them, from tallyBytes' bytes (copied:
//! bytes carry no alignment).
std::vector<armkin::ReachRow> rowsOf(const py::bytes& b) {
    const std::string_view s = b;
    if (s.size() % sizeof(Tally) != 0) throw py::value_error("rows: not a whole number of rows");
    std::vector<Tally> t(s.size() / sizeof(Tally));
    std::memcpy(t.data(), s.data(), s.size());
    std::vector<armkin::ReachRow> rows(t.size());
    for (std::size_t i = 0; i < t.size(); ++i) {
        rows[i].placement = t[i].placement;
        rows[i].status = t[i].status;
        rows[i].manipulability = t[i].manipulability;
        rows[i].limitDistance = t[i].limitDistance;
        rows[i].seedDistance = t[i].seedDistance;
    }
    return rows;
}

py::tuple runChunk(const Study& s, std::int64_t index, std::int64_t chunkSize) {
    if (chunkSize < 1) throw py::value_error("chunk_size must be at least 1");
    if (index < 0 || index >= s.study->chunkCount(chunkSize))
        throw py::index_error("chunk " + std::to_string(index) + " out of range");
    std::vector<armkin::ReachRow> rows(static_cast<std::size_t>(std::min(chunkSize, s.study->pairCount())));
    std::string csv;
    {
        py::gil_scoped_release release;
        armkin::ReachWorkspace ws;
        const std::int64_t n = s.study->runChunk(index, chunkSize, ws, rows);
        rows.resize(static_cast<std::size_t>(n));
        armkin::appendReachRowsCsv(rows, csv);
    }
    return py::make_tuple(tallyBytes(rows), py::bytes(csv));
}

//! The whole study on local threads; sink(rows, csv) gets each chunk in
//! order, with the GIL. A sink that raises stops the run and its exception
//! comes back out.
void runLocal(const Study& s, std::int64_t chunkSize, int threads, const py::function& sink) {
    if (chunkSize < 1) throw py::value_error("chunk_size must be at least 1");
    std::optional<py::error_already_set> raised;
    {
        py::gil_scoped_release release;
        armkin::runReach(*s.study, chunkSize, threads,
                         [&](std::int64_t, std::span<const armkin::ReachRow> rows, std::string_view csv) {
                             py::gil_scoped_acquire hold;
                             try {
                                 sink(tallyBytes(rows), py::bytes(csv.data(), csv.size()));
                                 return true;
                             } catch (py::error_already_set& e) {
                                 raised.emplace(std::move(e));
                                 return false;
                             }
                         });
    }
    if (raised) throw std::move(*raised);
}

Array targetPoses(const Study& s) {
    const auto targets = s.study->targets();
    Array out = newArray({static_cast<py::ssize_t>(targets.size()), 4, 4});
    double* d = out.mutable_data();
    for (std::size_t i = 0; i < targets.size(); ++i) writeTransform(targets[i], d + 16 * i);
    return out;
}

Array placementArray(const Study& s) {
    const auto placements = s.study->placements();
    Array out = newArray({static_cast<py::ssize_t>(placements.size()), 4});
    double* d = out.mutable_data();
    for (const armkin::Placement& p : placements) {
        *d++ = p.position.x;
        *d++ = p.position.y;
        *d++ = p.position.z;
        *d++ = p.turn;
    }
    return out;
}

//! The result files and the study they belong to.
struct Files {
    std::shared_ptr<armkin::ReachStudy> study;
    std::unique_ptr<armkin::ReachFiles> files;
};

void check(bool ok, const std::string& why) {
    if (!ok) throw std::runtime_error(why);
}

}  // namespace

void bindReach(py::module_& m) {
    py::class_<Study>(m, "Study",
                      "A reach study, set up: the arm, the targets, the base placements and the "
                      "options of a study file (docs/reach.md).")
        .def_static(
            "from_file", [](const py::handle& path) { return fromResult(armkin::loadStudy(pathArg(path))); },
            py::arg("path"), "The study of a YAML study file; ValueError with the loader's message.")
        .def_static(
            "from_text",
            [](const std::string& yaml, const std::string& name, const py::handle& folder) {
                return fromResult(armkin::loadStudyText(yaml, name, folder.is_none() ? "" : pathArg(folder)));
            },
            py::arg("yaml"), py::arg("name") = "study", py::arg("folder") = py::none(),
            "The study of YAML text; relative file names are taken from folder (default: the "
            "working folder) and name stands for the file in errors.")
        .def_property_readonly("name", [](const Study& s) { return s.name; })
        .def_property_readonly("target_count", [](const Study& s) { return s.study->targetCount(); })
        .def_property_readonly("placement_count", [](const Study& s) { return s.study->placementCount(); })
        .def_property_readonly("pair_count", [](const Study& s) { return s.study->pairCount(); })
        .def_property_readonly("spins", [](const Study& s) { return s.study->options().spins; })
        .def_property_readonly("score", [](const Study& s) { return std::string(armkin::name(s.study->options().score)); })
        .def_property_readonly("targets", &targetPoses, "(N,4,4) the targets' world poses (spin 0).")
        .def_property_readonly("placements", &placementArray,
                               "(P,4) the placements: x, y, z and turn (radians about Z).")
        .def("chunk_count", [](const Study& s, std::int64_t size) { return s.study->chunkCount(size); },
             py::arg("chunk_size"))
        .def("run_chunk", &runChunk, py::arg("index"), py::arg("chunk_size"),
             "Chunk index's rows as (rows, csv): the rows packed as ReachFiles.add takes them "
             "and their CSV lines. Runs without the GIL; the same bits on any machine of this build.")
        .def("run_local", &runLocal, py::arg("chunk_size"), py::arg("threads"), py::arg("sink"),
             "Every chunk on threads threads (0: every core); sink(rows, csv) gets each in "
             "chunk order.")
        .def("__repr__", [](const Study& s) {
            return "<armkin.Study " + s.name + ": " + std::to_string(s.study->targetCount()) + " targets x " +
                   std::to_string(s.study->placementCount()) + " placements>";
        })
        .def(py::pickle(
            [](const Study& s) { return py::make_tuple(py::bytes(armkin::toBytes(*s.study)), s.name); },
            [](const py::tuple& t) {
                if (t.size() != 2) throw std::runtime_error("a pickled Study holds two values");
                Study s{std::make_shared<armkin::ReachStudy>(), t[1].cast<std::string>()};
                std::string why;
                if (!armkin::fromBytes(std::string_view(t[0].cast<py::bytes>()), *s.study, &why))
                    throw py::value_error("Study: " + why);
                return s;
            }));

    py::class_<Files>(m, "ReachFiles",
                      "The result files of a study in one folder: pairs.csv, placements.csv, summary.txt.")
        .def(py::init([](const Study& s, const py::handle& folder) {
                 Files f{s.study, std::make_unique<armkin::ReachFiles>(*s.study, s.name)};
                 std::string why;
                 check(f.files->open(pathArg(folder), &why), why);
                 return f;
             }),
             py::arg("study"), py::arg("folder"))
        .def(
            "add",
            [](Files& f, const py::bytes& rows, const py::bytes& csv) {
                std::string why;
                check(f.files->add(rowsOf(rows), std::string_view(csv), &why), why);
            },
            py::arg("rows"), py::arg("csv"), "Appends one chunk (from run_chunk), in chunk order.")
        .def("finish",
             [](Files& f) {
                 std::string why;
                 check(f.files->finish(&why), why);
             },
             "Writes placements.csv and summary.txt; RuntimeError when pairs are missing.")
        .def_property_readonly("pairs", [](const Files& f) { return f.files->totals().pairs(); })
        .def_property_readonly("summary", [](const Files& f) { return f.files->summary(); });
}

}  // namespace armkin_py
