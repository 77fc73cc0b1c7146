// The YAML arm file (docs/arm-files.md) read into the values the library's
// binding takes: a DH table or the world frames at zero, joint types,
// limits in radians or metres, names. Same rules and wording as the native
// reader: unknown and repeated keys, angles beyond a turn, sliding wrist
// joints and numbers that are not finite are refused with the line.

import { isAlias, isMap, isScalar, isSeq, LineCounter, parseAllDocuments } from 'yaml';
import { ArmFileError, checkText, parseNumber, quoted } from './arm_file_error.js';

/** Angles a file may give, in radians, and the same in words. */
const fixedAngle = { radians: 2 * Math.PI, words: 'one turn' };
const turningLimit = { radians: 4 * Math.PI, words: 'two turns' };
/** A valid arm file holds a few hundred nodes. */
const maxNodes = 10000;

class Reader {
  constructor(yaml, file, lines, doc) {
    this.yaml = yaml;
    this.doc = doc;
    this.file = file;
    this.lines = lines;
    this.degrees = false;
  }

  /** The node an alias (*name) stands for; any other node itself. */
  deref(node) {
    return isAlias(node) ? node.resolve(this.doc) : node;
  }

  line(node) {
    if (!node || !node.range) return 0;
    return this.lines.linePos(node.range[0]).line;
  }

  fail(node, reason) { throw new ArmFileError(this.file, typeof node === 'number' ? node : this.line(node), reason); }

  source(node) { return this.yaml.slice(node.range[0], node.range[1]).trim(); }

  /** A mapping whose keys are all allowed, each once: key -> {key, value}. */
  fields(node, what, allowed) {
    if (!isMap(node)) this.fail(node, `${what} must be a mapping`);
    const out = new Map();
    for (const pair of node.items) {
      if (!isScalar(pair.key)) this.fail(pair.key, `${what}: a key that is not a plain name`);
      const k = String(pair.key.value);
      if (!allowed.includes(k)) this.fail(pair.key, `${what}: unknown key ${quoted(k)}`);
      if (out.has(k)) this.fail(pair.key, `${what}: key ${quoted(k)} given twice`);
      out.set(k, this.deref(pair.value));
    }
    out.node = node;
    return out;
  }

  require(fields, key, what) {
    if (!fields.has(key)) this.fail(fields.node, `${what}: missing ${quoted(key)}`);
    return fields.get(key);
  }

  number(node, what) {
    if (!isScalar(node)) this.fail(node, `${what} must be a number`);
    const n = parseNumber(this.source(node).replace(/^(['"])(.*)\1$/, '$2'));
    if (n.problem) this.fail(node, `${what}: ${n.problem}`);
    return n.value;
  }

  numbers(node, what, count) {
    if (!isSeq(node) || node.items.length !== count) this.fail(node, `${what} must be a list of ${count} numbers`);
    return node.items.map((item) => this.number(this.deref(item), what));
  }

  /** An angle in the file's unit, returned in radians, within bound either way. */
  angle(node, what, bound) {
    const written = this.number(node, what);
    const value = this.degrees ? written * (Math.PI / 180.0) : written;
    if (Math.abs(value) <= bound.radians) return value;
    const beyond = `${what} is ${written}`;
    if (this.degrees) this.fail(node, `${beyond} degrees, more than ${bound.words} either way`);
    this.fail(node, `${beyond} rad, more than ${bound.words} either way; angles are radians unless the file says 'angles: degrees'`);
    return 0;
  }

  text(node, what) {
    if (!isScalar(node)) this.fail(node, `${what} must be a plain value`);
    return String(node.value);
  }

  jointType(node, k, what) {
    const t = this.text(node, `${what}: type`);
    if (t !== 'R' && t !== 'S') this.fail(node, `${what}: unsupported joint type ${quoted(t)} (R turns, S slides)`);
    if (t === 'S' && k >= 3) this.fail(node, `${what} slides; joints 3 to 5 must turn`);
    return t;
  }

  /** [lower, upper]: angles for a turning joint, metres for a sliding one; null: unbounded. */
  limits(fields, type, what) {
    if (!fields.has('limits')) return null;
    const node = fields.get('limits');
    let v = this.numbers(node, `${what}: limits`, 2);
    if (type === 'R') v = node.items.map((item) => this.angle(this.deref(item), `${what}: limit`, turningLimit));
    if (v[0] > v[1]) this.fail(node, `${what}: lower limit ${v[0]} above upper limit ${v[1]}`);
    return v;
  }

  /** {xyz, rpy}, both optional; rpy in radians. */
  offset(node, what) {
    const f = this.fields(node, what, ['xyz', 'rpy']);
    const xyz = f.has('xyz') ? this.numbers(f.get('xyz'), `${what}: xyz`, 3) : [0, 0, 0];
    let rpy = [0, 0, 0];
    if (f.has('rpy')) {
      const r = f.get('rpy');
      this.numbers(r, `${what}: rpy`, 3);
      rpy = ['roll', 'pitch', 'yaw'].map((name, i) => this.angle(this.deref(r.items[i]), `${what}: ${name}`, fixedAngle));
    }
    return { xyz, rpy };
  }

  /** {origin, x, y, z}: a frame in world coordinates, taken as written. */
  frame(f, what) {
    const out = { origin: this.numbers(this.require(f, 'origin', what), `${what}: origin`, 3) };
    for (const axis of ['x', 'y', 'z']) {
      const node = this.require(f, axis, what);
      out[axis] = this.numbers(node, `${what}: ${axis}`, 3);
      if (out[axis].every((c) => c === 0)) this.fail(node, `${what}: zero-length axis ${axis}`);
    }
    return out;
  }

  jointList(f, what) {
    const list = this.require(f, 'joints', what);
    if (!isSeq(list) || list.items.length !== 6) {
      this.fail(list, `${what}: joints must be a list of 6 joints, found ${isSeq(list) ? list.items.length : 'no list'}`);
    }
    return list.items.map((item) => this.deref(item));
  }

  readDh(node, arm) {
    const f = this.fields(node, 'dh', ['convention', 'base', 'joints', 'tool']);
    const c = this.require(f, 'convention', 'dh');
    const convention = this.text(c, 'dh: convention');
    if (convention !== 'standard' && convention !== 'modified') {
      this.fail(c, `dh: convention must be 'standard' or 'modified', not ${quoted(convention)}`);
    }
    Object.assign(arm, { form: 'dh', convention });
    if (f.has('base')) arm.base = this.offset(f.get('base'), 'dh: base');
    if (f.has('tool')) arm.tool = this.offset(f.get('tool'), 'dh: tool');
    arm.joints = this.jointList(f, 'dh').map((jn, k) => {
      const what = `joint ${k}`;
      const j = this.fields(jn, what, ['name', 'type', 'a', 'alpha', 'd', 'theta', 'limits']);
      const type = this.jointType(this.require(j, 'type', what), k, what);
      const row = { type, line: this.line(jn) };
      for (const key of ['a', 'alpha', 'd', 'theta']) {
        const v = this.require(j, key, what);
        row[key] = key === 'alpha' || key === 'theta' ? this.angle(v, `${what}: ${key}`, fixedAngle)
          : this.number(v, `${what}: ${key}`);
      }
      if (j.has('name')) row.name = this.text(j.get('name'), `${what}: name`);
      row.limits = this.limits(j, type, what);
      return row;
    });
  }

  readFrames(node, arm) {
    const f = this.fields(node, 'frames', ['base', 'joints', 'tool']);
    arm.form = 'frames';
    if (f.has('base')) {
      arm.base = this.frame(this.fields(f.get('base'), 'frames: base', ['origin', 'x', 'y', 'z']), 'frames: base');
      arm.base.line = this.line(f.get('base'));
    }
    arm.joints = this.jointList(f, 'frames').map((jn, k) => {
      const what = `joint ${k}`;
      const j = this.fields(jn, what, ['name', 'type', 'origin', 'x', 'y', 'z', 'limits']);
      const type = this.jointType(this.require(j, 'type', what), k, what);
      const joint = { type, line: this.line(jn), ...this.frame(j, what) };
      if (j.has('name')) joint.name = this.text(j.get('name'), `${what}: name`);
      joint.limits = this.limits(j, type, what);
      return joint;
    });
    const t = this.require(f, 'tool', 'frames');
    arm.tool = this.frame(this.fields(t, 'frames: tool', ['origin', 'x', 'y', 'z']), 'frames: tool');
    arm.tool.line = this.line(t);
  }

  read(root) {
    if (!isMap(root)) this.fail(root ? this.line(root) : 1, 'the file is not a YAML mapping');
    const top = this.fields(root, 'the file', ['version', 'name', 'angles', 'dh', 'frames']);
    if (top.has('version')) {
      const version = this.number(top.get('version'), 'version');
      if (version !== 1) this.fail(top.get('version'), `version ${version} is not supported (only 1)`);
    }
    const arm = {};
    if (top.has('name')) arm.name = this.text(top.get('name'), 'name');
    if (top.has('angles')) {
      const unit = this.text(top.get('angles'), 'angles');
      if (unit !== 'radians' && unit !== 'degrees') {
        this.fail(top.get('angles'), `angles must be 'radians' or 'degrees', not ${quoted(unit)}`);
      }
      this.degrees = unit === 'degrees';
    }
    if (top.has('dh') && top.has('frames')) this.fail(top.get('frames'), "give either 'dh' or 'frames', not both");
    if (top.has('dh')) this.readDh(top.get('dh'), arm);
    else if (top.has('frames')) this.readFrames(top.get('frames'), arm);
    else this.fail(root, "the file has neither 'dh' nor 'frames'");
    return arm;
  }
}

function countNodes(node) {
  if (isMap(node)) return 1 + node.items.reduce((n, p) => n + countNodes(p.key) + countNodes(p.value), 0);
  if (isSeq(node)) return 1 + node.items.reduce((n, item) => n + countNodes(item), 0);
  return 1;
}

/** The binding's values of a YAML arm file; throws ArmFileError. */
export function readArmFileText(text, file) {
  checkText(text, file, 'YAML');
  const lines = new LineCounter();
  const docs = parseAllDocuments(text, { lineCounter: lines, uniqueKeys: false, maxAliasCount: 100 });
  if (!Array.isArray(docs)) throw new ArmFileError(file, 0, 'empty file');
  if (docs.length === 0) throw new ArmFileError(file, 0, 'empty file');
  if (docs.length > 1) throw new ArmFileError(file, 0, 'more than one YAML document');
  const doc = docs[0];
  if (doc.errors.length) {
    const e = doc.errors[0];
    throw new ArmFileError(file, e.linePos ? e.linePos[0].line : 0, `malformed YAML: ${e.message.split('\n')[0]}`);
  }
  if (countNodes(doc.contents) > maxNodes) throw new ArmFileError(file, 0, `too many YAML nodes (more than ${maxNodes})`);
  return new Reader(text, file, lines, doc).read(doc.contents);
}
