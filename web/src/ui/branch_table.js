// The table of branches: joints, residuals and status of each, singular
// ones marked, the branch nearest the current joints highlighted. Clicking
// a row hands its index to onPick.

const degree = 180 / Math.PI;

/** A joint value for people: degrees for a turning joint, metres for a sliding one. */
export function jointText(value, type) {
  return type === 'S' ? `${value.toFixed(3)} m` : `${(value * degree).toFixed(1)}°`;
}

export class BranchTable {
  constructor(table, onPick) {
    this.table = table;
    this.onPick = onPick;
    table.addEventListener('click', (e) => {
      const row = e.target.closest('tr[data-branch]');
      if (row) onPick(Number(row.dataset.branch));
    });
  }

  /** branches: the solve's; colors: CSS colours; nearest: index or -1. */
  show(branches, types, names, colors, nearest) {
    const head = `<thead><tr><th>#</th>${names.map((n, k) => `<th title="${escape(n)}">q${k}</th>`).join('')}`
      + '<th title="position error (m)">Δp</th><th title="rotation error (rad)">Δr</th><th>status</th></tr></thead>';
    const rows = branches.map((b, i) => {
      const classes = [b.status === 'singular' ? 'singular' : '', i === nearest ? 'nearest' : ''].join(' ').trim();
      const status = b.status === 'singular' ? '⚠ singular' : b.status;
      return `<tr data-branch="${i}" class="${classes}">`
        + `<td><span class="swatch" style="background:${colors[i]}"></span>${i + 1}</td>`
        + b.joints.map((q, k) => `<td>${jointText(q, types[k])}</td>`).join('')
        + `<td>${b.positionError.toExponential(0)}</td><td>${b.rotationError.toExponential(0)}</td>`
        + `<td>${status}</td></tr>`;
    }).join('');
    this.table.innerHTML = `${head}<tbody>${rows}</tbody>`;
  }
}

function escape(text) {
  return String(text).replace(/[&<>"]/g, (c) => `&#${c.charCodeAt(0)};`);
}
