#pragma once
//! Helpers the loaders share: frames from the files' rotations, joint
//! frames from an axis, reading a file with a size cap, checking text
//! before a parser sees it, and building results and errors.

#include <limits>
#include <string>
#include <string_view>

#include <armkin/loaders.hpp>

#include "numeric/frame.hpp"

namespace armkin::io {

using kin::Frame;
using kin::frameOf;

// --- Rigid transforms (Frame: columns X, Y, Z of R, then O) ---------------
// Products, dot and cross products are numeric/frame.hpp's.

//! Translation xyz, then rotation R = Rz(yaw) Ry(pitch) Rx(roll) (URDF order).
Frame frameFromXyzRpy(const Vec3& xyz, const Vec3& rpy);
//! Translation p, rotation of the quaternion (x, y, z, w), normalised first.
//! Returns false for a quaternion of zero or non-finite length.
bool frameFromQuaternion(const Vec3& p, double x, double y, double z, double w, Frame& out);
//! Whether the axes are orthonormal and right-handed within kAxisTolerance
//! and every component is finite.
bool isRigid(const Frame& f);

//! The axes of a joint frame at zero: for a turning joint Z is the axis, for
//! a sliding one X is. The other two are taken from `reference` (the frame
//! the joint is declared in) so that a joint whose axis is the reference's
//! own Z (turning) or X (sliding) keeps the reference's axes exactly.
//! `axis` must be of unit length.
Axes jointAxes(JointType type, const Vec3& axis, const Frame& reference);

//! v / |v|, scaled first so that tiny and huge vectors keep their direction.
//! Returns false when |v| is below kMinAxisLength or not finite.
inline constexpr double kMinAxisLength = 1e-9;
bool unitAxis(const Vec3& v, Vec3& out);

// --- Limits -----------------------------------------------------------------

//! The range of a joint the file gives no limits for, turning or sliding:
//! no bound either way. The solver then gives a turning joint the copy of
//! each solution nearest the seed.
inline constexpr JointRange kUnbounded{-std::numeric_limits<double>::infinity(),
                                       std::numeric_limits<double>::infinity()};

// --- Text -------------------------------------------------------------------

//! Reads a regular file of at most kMaxArmFileBytes. On failure fills error
//! (file set to path) and returns false.
bool readArmFile(const std::string& path, std::string& text, LoadError& error);

//! Refuses text that no parser should see: longer than kMaxArmFileBytes,
//! holding a NUL byte or a byte sequence that is not UTF-8. `kind` names the
//! format in the reason ("XML", "YAML").
bool checkText(std::string_view text, const std::string& source, const char* kind,
               LoadError& error);

// --- Results ----------------------------------------------------------------

//! An error result. Control characters in the reason become spaces, so that
//! it stays one line whatever text of the file it quotes.
LoadResult failure(const std::string& file, int line, std::string reason);

//! Text of the file for a message: in single quotes, control characters as
//! spaces, cut (at a character boundary) after `limit` bytes with "...".
std::string quoted(std::string_view text, std::size_t limit = 60);

//! Fills the names the file left empty, checks the description with
//! validate() and returns the arm, or an error naming `line` for a
//! description that fails (which the loaders' own checks should prevent).
LoadResult finish(LoadedArm arm, const std::string& file);

//! Shortest text that reads back as the same double ("0.1", "-1e-300").
std::string formatNumber(double v);

//! What parseNumber made of a text.
enum class NumberText {
    finite,      //!< a finite number
    nonFinite,   //!< inf, infinity or nan (any case, any sign)
    outOfRange,  //!< a number whose exponent overflows or underflows a double
    notANumber,  //!< anything else
};

//! Parses one number as the file formats write it: decimal with an optional
//! sign, fraction and exponent; the whole text must be the number.
NumberText parseNumber(std::string_view text, double& value);

//! Reason text for a number that is not finite: "non-finite number 'nan'".
std::string numberProblem(NumberText kind, std::string_view text);

}  // namespace armkin::io
