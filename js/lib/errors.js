// Failures as the package throws them: the library's message and its status by name.
import {statusNames} from '../dist/status.js';

export class VarnholtError extends Error {
  constructor(message, status) {
    super(message);
    this.name = 'VarnholtError';
    this.status = status;
  }
}

// The failure of the library's last call on this thread, in its own words.
export function lastFailure(core) {
  const message = core.UTF8ToString(core._varnholt_error()) || 'Unknown failure';
  return new VarnholtError(message, statusNames[core._varnholt_last_status()] ?? 'VARNHOLT_ERROR_INTERNAL');
}

// A failure found before the library is called: what the C interface would call an argument
// outside its domain, from a value that JavaScript cannot even hand it.
export function argumentError(message) {
  return new VarnholtError(message, 'VARNHOLT_ERROR_ARGUMENT');
}
