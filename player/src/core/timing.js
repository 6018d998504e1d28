// Time: the step clock, and the shapes the effects follow over a cycle.

export const TAU = Math.PI * 2;

// The steps of the one-second pause between images.
export function pauseSteps(stepMs) {
  return Math.max(1, Math.round(1000 / stepMs));
}

// 0 at k = 0, 1 at k = n/2, back to 0 at k = n (smooth).
export function bump(k, n) {
  return 0.5 - 0.5 * Math.cos((TAU * k) / n);
}

// 0 at k = 0, 1 at k = n/2, back to 0 at k = n (straight lines).
export function triangle(k, n) {
  const t = k / n;
  return t < 0.5 ? 2 * t : 2 - 2 * t;
}

// The amplitude envelope of the travelling waves: 0 at the ends of the
// cycle (so step 0 is the image itself), full over most of it.
export function envelope(k, n) {
  return Math.min(1, 3 * Math.sin((Math.PI * k) / n));
}

// An accumulated clock fed with animation-frame times: { last, acc }.
export function stepClock() {
  return { last: null, acc: 0 };
}

// The whole steps of `stepMs` due at time `now`; keeps the remainder.
export function stepsDue(clock, now, stepMs) {
  if (clock.last === null) clock.last = now;
  let dt = now - clock.last;
  clock.last = now;
  // After a long gap (hidden tab, slow machine) go on from here.
  if (dt < 0 || dt > 250) dt = stepMs;
  clock.acc += dt;
  const steps = Math.floor(clock.acc / stepMs);
  if (steps > 0) clock.acc -= steps * stepMs;
  return steps;
}
