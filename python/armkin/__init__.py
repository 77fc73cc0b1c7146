"""armkin: kinematics of six-joint serial robot arms.

    import numpy as np, armkin
    arm = armkin.Arm.builtin()
    T = arm.fk([0.1, 0.2, 0.3, 0.4, 0.5, 0.6])   # 4x4 tool pose
    Q = arm.ik(T)                                # (n, 6): every solution, to 1e-10
    q = arm.ik_nearest(T, seed=np.zeros(6))      # the one nearest a seed

Arms come from ``Arm.builtin()``, ``Arm.from_urdf(path)``, ``Arm.from_file(path)``
(a YAML arm file) or ``Arm.from_description(...)``. ``ik_batch`` solves many
poses on every core. ``ik_ptp``, ``ik_cp`` and ``ik_position`` run the
console program's own three modes, for comparison with it. Every array argument is
checked: a wrong shape or a non-finite value raises ValueError, data that
are not real numbers raise TypeError.
"""

from ._armkin import Arm, __version__

__all__ = ["Arm", "__version__"]
