#pragma once
//! Reach studies: can an arm, set down at each of a number of base
//! placements, reach each of a number of targets, and how comfortably?
//!
//!     armkin::ReachStudy study;
//!     if (!study.setUp(arm, targets, placements, options, &why)) ...   // once
//!     armkin::ReachWorkspace ws;                                       // one per thread
//!     std::vector<armkin::ReachRow> rows(chunkSize);
//!     study.runChunk(c, chunkSize, ws, rows);                          // any chunk, any thread
//!
//! The study's work is its target-placement pairs, target after target and
//! within a target placement after placement: pair i is target
//! i / placementCount() at placement i % placementCount(). A chunk is a run
//! of consecutive pairs, and a pair's row depends on nothing but the study
//! and the pair: every chunking, thread count and machine (of the same
//! build) gives the same bits. ReachTotals sums the rows per placement in
//! pair order, so its sums are the same bits too.
//!
//! Threads: after setUp a ReachStudy is only read, by any number of threads
//! at once; a ReachWorkspace and a ReachTotals belong to one thread.
//! runChunk never throws, allocates or prints.

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "armkin/arm.hpp"
#include "armkin/model.hpp"
#include "armkin/solve_result.hpp"
#include "armkin/status.hpp"
#include "armkin/types.hpp"

namespace armkin {

//! What makes one branch of a target better than another.
enum class ReachScore : unsigned char {
    Manipulability,  //!< the larger |det J| (J: the 6x6 geometric Jacobian) the better
    LimitDistance,   //!< the farther from the nearest joint limit the better
    SeedDistance,    //!< the nearer the seed the better
};

//! "manipulability", "limit_distance", "seed_distance". Never null.
const char* name(ReachScore score) noexcept;
//! The score of that name; false (out unchanged) for any other text.
bool parseReachScore(std::string_view text, ReachScore& out) noexcept;

//! Where the arm stands: its own world frame (the frame its description is
//! given in) moved to position and turned by turn radians about the
//! vertical (Z) axis of the study's world.
struct Placement {
    Vec3 position;
    double turn = 0.0;
};

//! The options of a study.
struct ReachOptions {
    //! Joint limits of the solve (an arm file's, unless the study says).
    JointLimits limits{};
    //! The joint vector seed distances are measured from; the copy of an
    //! unbounded turning joint is the one nearest it.
    Joints seed{};
    //! Weights of the squared joint differences of the seed distance.
    std::array<double, 6> weights{1.0, 1.0, 1.0, 1.0, 1.0, 1.0};
    ReachScore score = ReachScore::Manipulability;
    //! Turns of the tool about its own Z axis tried per target, at the
    //! angles 2 pi k / spins (k = 0 .. spins-1): 1 holds the target's
    //! rotation as given, more leave the turn about the tool axis free.
    int spins = 1;
};

//! Largest ReachOptions::spins.
inline constexpr int kMaxReachSpins = 3600;

//! One target-placement pair. A pair is reached when some spin of the
//! target has a solution within the limits; the scores are then those of
//! the best branch of every spin (ties: the first, by spin then branch).
struct ReachRow {
    std::int64_t target = 0;
    std::int32_t placement = 0;
    //! Ok when reached; otherwise why not, over all spins: OutsideLimits
    //! when some spin had solutions outside the limits, else NotConverged
    //! when some had candidates that missed the tolerances, else OutOfReach
    //! (InvalidInput for a target the solver refuses).
    Status status = Status::OutOfReach;
    std::int16_t spin = -1;          //!< the best branch's spin, -1 when not reached
    std::int16_t spinsReached = 0;   //!< spins with at least one solution
    std::int16_t branches = 0;       //!< branches of the best branch's spin
    Joints joints{};                 //!< the best branch (zeros when not reached)
    //! The best branch's scores (0 when not reached): |det J|, the smallest
    //! distance of a joint to its nearer limit as a fraction of half its
    //! range (1 when no joint has two finite limits), and the weighted
    //! distance sqrt(sum w (q - seed)^2) to the seed.
    double manipulability = 0.0;
    double limitDistance = 0.0;
    double seedDistance = 0.0;
    bool reached() const noexcept { return status == Status::Ok; }
};

//! The working records of one thread running chunks of any study.
class ReachWorkspace {
public:
    ReachWorkspace();
    ~ReachWorkspace();
    ReachWorkspace(ReachWorkspace&&) noexcept;
    ReachWorkspace& operator=(ReachWorkspace&&) noexcept;
    ReachWorkspace(const ReachWorkspace&) = delete;
    ReachWorkspace& operator=(const ReachWorkspace&) = delete;

    struct Impl;  //!< opaque: a solver workspace and one result

private:
    friend class ReachStudy;
    std::unique_ptr<Impl> impl_;
};

//! The pose of a surface point p with outward normal n for a tool square
//! to the surface: the tool's Z axis along -n, its X axis world X made
//! orthogonal to it (world Y when Z lies within about 25 degrees of X).
//! Writes out; false (out unchanged) when n is zero or not finite.
bool surfacePose(const Vec3& p, const Vec3& n, Pose& out) noexcept;

class ReachStudy {
public:
    ReachStudy();
    ~ReachStudy();
    ReachStudy(ReachStudy&&) noexcept;
    ReachStudy& operator=(ReachStudy&&) noexcept;
    ReachStudy(const ReachStudy&) = delete;
    ReachStudy& operator=(const ReachStudy&) = delete;

    //! Sets the arm up and takes targets (world poses), placements and
    //! options. Returns false and writes a one-line reason to *reason (when
    //! not null) for an arm that fails validation, no targets or no
    //! placements, a target, placement or option that is not finite or out
    //! of range; the study is then empty.
    bool setUp(const ArmDescription& arm, std::vector<Pose> targets,
               std::vector<Placement> placements, const ReachOptions& options,
               std::string* reason = nullptr);

    const Model& model() const noexcept;
    const ReachOptions& options() const noexcept;
    std::span<const Pose> targets() const noexcept;
    std::span<const Placement> placements() const noexcept;
    std::int64_t targetCount() const noexcept;
    std::int64_t placementCount() const noexcept;
    //! targetCount() * placementCount().
    std::int64_t pairCount() const noexcept;
    //! Chunks of chunkSize pairs (the last may be shorter); 0 for chunkSize < 1.
    std::int64_t chunkCount(std::int64_t chunkSize) const noexcept;
    //! The arm's pose of the world pose target at placement p: placement^-1 target.
    Pose armTarget(const Pose& target, const Placement& p) const noexcept;

    //! Rows of the pairs of chunk `chunk` (pairs chunk*chunkSize onwards, at
    //! most chunkSize of them) into out[0..n), in pair order. Returns n; 0
    //! when the chunk lies past the end, chunkSize < 1, out is shorter than
    //! the chunk or the study is not set up (out unchanged).
    std::int64_t runChunk(std::int64_t chunk, std::int64_t chunkSize, ReachWorkspace& ws,
                          std::span<ReachRow> out) const noexcept;

    struct Impl;  //!< opaque

private:
    std::unique_ptr<Impl> impl_;
};

//! Per placement: how many pairs, how many reached and why not, and the
//! sums of the best branches' scores over the reached pairs.
struct PlacementTotals {
    std::int64_t pairs = 0;
    std::int64_t reached = 0;
    std::int64_t outOfReach = 0;
    std::int64_t outsideLimits = 0;
    std::int64_t notConverged = 0;
    std::int64_t invalidInput = 0;
    double manipulability = 0.0;
    double limitDistance = 0.0;
    double seedDistance = 0.0;
    //! reached / pairs (0 with no pairs).
    double reachFraction() const noexcept;
    //! The mean of a score over the reached pairs (0 when none was).
    double mean(ReachScore score) const noexcept;
};

//! Sums rows per placement. Adding rows in pair order (chunk after chunk)
//! makes every sum the same bits whatever the chunking.
class ReachTotals {
public:
    explicit ReachTotals(std::int64_t placementCount);
    //! Adds rows; a row whose placement is out of range is ignored.
    void add(std::span<const ReachRow> rows) noexcept;
    std::span<const PlacementTotals> placements() const noexcept { return totals_; }
    std::int64_t pairs() const noexcept { return pairs_; }
    //! Placement indices best first: the larger reach fraction, then the
    //! better mean of score, then the lower index.
    std::vector<std::int32_t> ranking(ReachScore score) const;

private:
    std::vector<PlacementTotals> totals_;
    std::int64_t pairs_ = 0;
};

//! The column names of reachRowsCsv, comma-separated, with a line break.
std::string_view reachRowsHeader() noexcept;
//! Rows as CSV lines appended to out: target, placement, status name,
//! spin, spins reached, branches, q0..q5 and the three scores, numbers in
//! their shortest exact form; the joints and scores of a pair not reached
//! are empty fields and its spin is -1.
void appendReachRowsCsv(std::span<const ReachRow> rows, std::string& out);
//! Per placement, best first: rank, placement, x, y, z, turn, pairs,
//! reached, reach_fraction, the counts of each reason, the score sums and
//! means. With a header line.
std::string placementsCsv(const ReachStudy& study, const ReachTotals& totals);
//! A few lines for people: the study's size and its best placements.
std::string reachSummary(const ReachStudy& study, const ReachTotals& totals, std::string_view title);

//! Receives the chunks of runReach in chunk order.
using ReachSink = std::function<bool(std::int64_t chunk, std::span<const ReachRow> rows,
                                     std::string_view csv)>;

//! Runs every chunk of the study on threads threads (0: every core), each
//! chunk's rows also formatted by appendReachRowsCsv on its thread, and
//! hands them to sink on the calling thread in chunk order. At most two
//! chunks per thread are held at once. Stops early when sink returns
//! false (and returns false). Allocates the threads' records; an exception
//! of the sink or of a thread (std::bad_alloc) stops the run, and comes
//! out once every thread has ended.
bool runReach(const ReachStudy& study, std::int64_t chunkSize, int threads, const ReachSink& sink);

//! The study as bytes (for other processes of the same build and byte
//! order), and back. fromBytes returns false with a reason for bytes that
//! are not a study of this build.
std::string toBytes(const ReachStudy& study);
bool fromBytes(std::string_view bytes, ReachStudy& out, std::string* reason = nullptr);

}  // namespace armkin
