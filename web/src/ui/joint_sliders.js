// A slider per joint for forward kinematics, over the joint's limits (a
// joint without limits: two turns either way, or the arm's reach for a
// sliding joint). Moving one hands the six values to onChange.

import { jointText } from './branch_table.js';

export class JointSliders {
  constructor(container, onChange) {
    this.container = container;
    this.onChange = onChange;
    this.inputs = [];
    this.q = [0, 0, 0, 0, 0, 0];
  }

  /** Builds the sliders for an arm: its letters, names, limits and reach. */
  setArm(types, names, limits, reach) {
    this.types = types;
    this.container.innerHTML = '';
    this.inputs = [...types].map((type, k) => {
      const [lower, upper] = limits[k];
      const wide = type === 'S' ? reach : 2 * Math.PI;
      const min = Number.isFinite(lower) ? lower : -wide;
      const max = Number.isFinite(upper) ? upper : wide;
      const row = document.createElement('label');
      row.className = 'slider';
      row.innerHTML = `<span class="name"></span><input type="range"><output></output>`;
      row.querySelector('.name').textContent = `q${k} ${names[k]}`;
      row.title = `${jointText(min, type)} to ${jointText(max, type)}`
        + (Number.isFinite(lower) && Number.isFinite(upper) ? '' : ' (no limits in the file)');
      const input = row.querySelector('input');
      Object.assign(input, { min, max, step: (max - min) / 4000, value: 0 });
      input.dataset.joint = k;
      input.addEventListener('input', () => {
        // Only the moved joint changes: the others keep their values even
        // where a slider cannot show them (beyond its range).
        const q = [...this.q];
        q[k] = Number(input.value);
        this.onChange(q);
      });
      this.container.appendChild(row);
      return input;
    });
  }

  /** Shows joint values without calling onChange. */
  show(q) {
    this.q = [...q];
    this.inputs.forEach((input, k) => {
      input.value = q[k];
      input.nextElementSibling.textContent = jointText(q[k], this.types[k]);
    });
  }
}
