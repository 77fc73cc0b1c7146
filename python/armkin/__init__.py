"""armkin: kinematics of six-joint serial robot arms.

    import numpy as np, armkin
    arm = armkin.Arm.builtin()
    T = arm.fk([0.1, 0.2, 0.3, 0.4, 0.5, 0.6])   # 4x4 tool pose
    Q = arm.ik(T)                                # (n, 6): every branch, to 1e-10
    Q, info = arm.ik(T, info=True)               # info["reason"], ["message"], residuals
    q = arm.ik_nearest(T, seed=np.zeros(6))      # the one nearest a seed, or None
    sols = arm.ik_batch(np.stack([T, T]))        # sols[i]: (n_i, 6); sols.joints: all

Arms come from ``Arm.builtin()``, ``Arm.from_file(path)`` (a URDF file for
.urdf and .xml, a YAML arm file otherwise), ``Arm.from_urdf(path)`` or
``Arm.from_description(...)``; paths may be str or os.PathLike. ``arm.limits``
is a read-only (6, 2) copy: assign a whole array to change the limits.

``ik`` lists every branch once; ``copies="all"`` adds every copy 2 pi apart
within the limits after them (up to MAX_SOLUTIONS per pose, with a
RuntimeWarning when more were cut). A pose's rotation must be proper within
1e-9 and its last row (0, 0, 0, 1); ``orthonormalize=True`` solves a rounded
rotation for the nearest proper one. ``info["reason"]`` is a machine name
('ok', 'out_of_reach', 'not_converged', 'outside_limits') and
``info["message"]`` says it in English.

``ik_batch`` checks every pose, then solves them all without the GIL on
every core (``threads``) and returns a BatchSolutions. ``ik_ptp``, ``ik_cp``
and ``ik_position`` run the console program's own three modes, for
comparison with it. Every argument is checked: a wrong shape, a non-finite
value or a pose that is not a rigid transform raises ValueError saying why,
data that are not real numbers raise TypeError.
"""

import operator
from collections.abc import Sequence

import numpy as np

from ._armkin import MAX_SOLUTIONS, Arm, __version__, _status_tables

__all__ = ["Arm", "BatchSolutions", "MAX_SOLUTIONS", "__version__"]

_REASONS, _MESSAGES, _STATUSES = _status_tables


class BatchSolutions(Sequence):
    """The solutions of ``Arm.ik_batch``, pose by pose.

    ``len(s)`` is the number of poses; ``s[i]`` (also negative, or a slice
    for a list) is pose i's (n_i, 6) array, a view into ``joints``, or with
    info=True the tuple (array, info) with the keys of ``Arm.ik``'s info.
    The flat arrays, for whole-batch work:

    joints          (M, 6) every solution, pose after pose
    offsets         (N+1,) pose i's solutions are joints[offsets[i]:offsets[i+1]]
    position_error, rotation_error   (M,)
    status_codes    (M,) uint8, names in STATUS_NAMES (``statuses`` gives the names)
    reason_codes    (N,) uint8, names in REASON_NAMES (``reasons`` gives the names)
    branches        (N,) int32; truncated (N,) bool
    """

    STATUS_NAMES = _STATUSES
    REASON_NAMES = _REASONS

    def __init__(self, joints, offsets, position_error, rotation_error, status_codes,
                 reason_codes, branches, truncated, info=False):
        self.joints = joints
        self.offsets = offsets
        self.position_error = position_error
        self.rotation_error = rotation_error
        self.status_codes = status_codes
        self.reason_codes = reason_codes
        self.branches = branches
        self.truncated = truncated
        self.info = info

    def __len__(self):
        return len(self.reason_codes)

    def __getitem__(self, index):
        if isinstance(index, slice):
            return [self[i] for i in range(*index.indices(len(self)))]
        n = len(self)
        i = operator.index(index)
        if not -n <= i < n:
            raise IndexError(f"pose index {index} out of range for {n} poses")
        i %= n
        a, b = self.offsets[i], self.offsets[i + 1]
        q = self.joints[a:b]
        if not self.info:
            return q
        code = self.reason_codes[i]
        return q, {
            "position_error": self.position_error[a:b],
            "rotation_error": self.rotation_error[a:b],
            "status": [_STATUSES[c] for c in self.status_codes[a:b]],
            "reason": _REASONS[code],
            "message": _MESSAGES[code],
            "truncated": bool(self.truncated[i]),
            "branches": int(self.branches[i]),
        }

    @property
    def counts(self):
        """(N,) the number of solutions of each pose."""
        return np.diff(self.offsets)

    @property
    def reasons(self):
        """(N,) each pose's reason as a name ('ok', 'out_of_reach', ...)."""
        return np.asarray(_REASONS)[self.reason_codes]

    @property
    def statuses(self):
        """(M,) each solution's status as a name ('exact', 'converged', 'singular')."""
        return np.asarray(_STATUSES)[self.status_codes]

    def __repr__(self):
        return f"<armkin.BatchSolutions: {len(self)} poses, {len(self.joints)} solutions>"
