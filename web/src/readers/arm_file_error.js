// Why an arm file cannot be read, as the native loaders say it:
// "file:line: reason", or "file: reason" when no line is to blame.

export class ArmFileError extends Error {
  constructor(file, line, reason) {
    super(reason);
    this.file = file;
    this.line = line;
    this.reason = reason;
  }

  /** "file:line: reason" (or "file: reason" without a line). */
  describe() {
    return `${this.file}${this.line > 0 ? `:${this.line}` : ''}: ${this.reason}`;
  }
}

/** Text of the file for a message, as the native loaders quote it. */
export function quoted(text, limit = 60) {
  const s = String(text).replace(/[\x00-\x1f\x7f]/g, ' ');
  return `'${s.length > limit ? `${s.slice(0, limit)}...` : s}'`;
}

/** What a number in the file's text is: the value, or why it is not one. */
export function parseNumber(text) {
  const s = String(text).trim();
  if (/^[+-]?\.?(inf|infinity|nan)$/i.test(s)) return { problem: `non-finite number ${quoted(s, 40)}` };
  if (!/^[+-]?(\d+\.?\d*|\.\d+)([eE][+-]?\d+)?$/.test(s)) return { problem: `not a number ${quoted(s, 40)}` };
  const v = Number(s);
  if (!Number.isFinite(v) || (v === 0 && /[1-9]/.test(s.split(/[eE]/)[0]))) {
    return { problem: `number out of range ${quoted(s, 40)}` };
  }
  return { value: v };
}

/** Files longer than this are refused unread (the loaders' kMaxArmFileBytes). */
export const maxArmFileBytes = 4 << 20;

/** Refuses text no reader should see: too long, or holding a NUL byte. */
export function checkText(text, file, kind) {
  if (text.length > maxArmFileBytes) {
    throw new ArmFileError(file, 0, `the file is longer than ${maxArmFileBytes} bytes`);
  }
  const nul = text.indexOf('\0');
  if (nul >= 0) {
    const line = text.slice(0, nul).split('\n').length;
    throw new ArmFileError(file, line, `a NUL byte in the ${kind} text`);
  }
}
