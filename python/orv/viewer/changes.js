"use strict";
// What one step changed in the zone tree, worked out from the packed frames before and after
// it when the frame is shown, in the form orv.frame_changes gives for two frame documents
// (a test holds the two equal). Charges and agents are positions in the page's tables, which
// hold each distinct one once, so two of them are equal when their positions are.

// The earlier item of each later one, in order: a step only ever removes items, so a greedy
// walk finds them; lists of one length are paired by position, as a spell in a zone leaves
// them. Returns the earlier items that are gone and the [earlier item, later position] pairs.
function alignItems(before, after, same) {
  if (before.length === after.length) return { gone: [], pairs: before.map((item, i) => [item, i]) };
  const gone = [];
  const pairs = [];
  let position = 0;
  for (const item of before) {
    if (position < after.length && same(item, after[position])) {
      pairs.push([item, position]);
      position += 1;
    } else {
      gone.push(item);
    }
  }
  return { gone, pairs };
}

// An agent without what may change while it stays in its zone (its state, a gate's is_open,
// when another zone holds the same agent too), as text that equal agents share.
const agentIdentities = new Map();

function agentIdentity(index) {
  let identity = agentIdentities.get(index);
  if (identity === undefined) {
    const { state, is_open: open, ...fixed } = data.agents[index];
    identity = JSON.stringify(fixed);
    agentIdentities.set(index, identity);
  }
  return identity;
}

function sameAgent(before, after) {
  return before === after || agentIdentity(before) === agentIdentity(after);
}

// Only the collapsed zone differs among siblings in a collapse step; the others are unchanged
// apart from their freeze flags (and so their totals too).
function sameZone(before, after) {
  if (before === after) return true;
  const sameList = (a, b) => a.length === b.length && a.every((item, i) => item === b[i]);
  return before.id === after.id && sameList(before.charges, after.charges) &&
    sameList(before.agents, after.agents) && before.subs.length === after.subs.length &&
    before.subs.every((sub, i) => sameZone(sub, after.subs[i]));
}

// Positions of the later charges that were not there before (each earlier one counts once).
function newCharges(before, after) {
  const remaining = new Map();
  for (const charge of before) remaining.set(charge, (remaining.get(charge) || 0) + 1);
  const fresh = [];
  after.forEach((charge, i) => {
    const left = remaining.get(charge) || 0;
    if (left) remaining.set(charge, left - 1);
    else fresh.push(i);
  });
  return fresh;
}

function compareZones(before, after) {
  const entry = {};
  const fresh = newCharges(before.charges, after.charges);
  if (fresh.length) entry.new_charges = fresh;
  const agents = alignItems(before.agents, after.agents, sameAgent);
  if (agents.gone.length) entry.departed_agents = agents.gone;
  const changed = agents.pairs.filter(([old, i]) => old !== after.agents[i]).map(([, i]) => i);
  if (changed.length) entry.changed_agents = changed;
  const subs = alignItems(before.subs, after.subs, sameZone);
  if (subs.gone.length) entry.collapsed_zones = subs.gone;
  return { entry, pairs: subs.pairs };
}

// The changes from packed frame ``before`` to ``after``, keyed by the path of each zone that
// changed in ``after`` ("" the top zone, "1.0" the first sub-zone of its second); the charges
// its step consumed (``after.consumed``) go to the zone that cast.
function frameChanges(before, after) {
  const changes = {};
  // The earlier zone of each later one, found as the walk reaches the later zone's parent; a
  // later zone that no earlier one matched is skipped with everything below it.
  const earlier = new Map([["", before.top]]);
  const pending = [[after.top, ""]];
  while (pending.length) {
    const [zone, path] = pending.pop();
    const old = earlier.get(path);
    if (old === undefined) continue;
    earlier.delete(path);
    const { entry, pairs } = compareZones(old, zone);
    if (Object.keys(entry).length) changes[path] = entry;
    for (const [oldSub, i] of pairs) earlier.set(path === "" ? String(i) : path + "." + i, oldSub);
    for (let i = zone.subs.length - 1; i >= 0; i -= 1) {
      pending.push([zone.subs[i], path === "" ? String(i) : path + "." + i]);
    }
  }
  if (after.consumed) {
    const { path, charges } = after.consumed;
    changes[path] = { ...(changes[path] || {}), consumed_charges: charges };
  }
  return changes;
}
