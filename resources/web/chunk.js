// Chunk text as both pages read it: decimal sample values separated by blanks, 125 a second.
// Anything that is not a number (a double blank, a stray byte, the trailing blank) is skipped.
var Chunk = (function () {
  "use strict";
  var samplesPerSecond = 125;
  var numberPattern = /^[+-]?\d+(\.\d+)?$/;

  function parse(text) {
    var values = [];
    if (typeof text !== "string")
      return values;
    var tokens = text.split(/\s+/);
    for (var i = 0; i < tokens.length; i++) {
      var token = tokens[i];
      if (token.length > 0 && token.length < 24 && numberPattern.test(token))
        values.push(Number(token));
    }
    return values;
  }

  function range(values, from, to) {
    var min = Infinity, max = -Infinity;
    for (var i = from; i < to; i++) {
      if (values[i] < min) min = values[i];
      if (values[i] > max) max = values[i];
    }
    if (!isFinite(min)) { min = 0; max = 1023; }
    if (max - min < 1) { min -= 1; max += 1; }
    return { min: min, max: max };
  }

  return { samplesPerSecond: samplesPerSecond, parse: parse, range: range };
})();
