// The report page: a header and the chunk as an ECG strip at 25 mm/s on a millimetre grid, in
// rows of 8 seconds (200 mm, the width of an A4 page within its margins) with second marks.
(function () {
  "use strict";
  var mmPerSecond = 25;
  var rowSeconds = 8;
  var rowHeight = 30;          // mm of trace area per row
  var labelHeight = 4;         // mm above the trace for the second marks
  var mostSeconds = 300;       // a longer file is shown in part, and the page says so
  var reportSeconds = 0;       // 0: as much of the file as there is
  var svgNS = "http://www.w3.org/2000/svg";

  function element(name, attributes, parent) {
    var e = document.createElementNS(svgNS, name);
    for (var key in attributes)
      e.setAttribute(key, attributes[key]);
    if (parent)
      parent.appendChild(e);
    return e;
  }

  // The grid as plain lines, so that the PDF keeps it as vectors at any zoom.
  function gridPath(width, height, step, parent, color, strokeWidth) {
    var d = [];
    for (var x = 0; x <= width + 1e-6; x += step)
      d.push("M" + x.toFixed(2) + " 0V" + height);
    for (var y = 0; y <= height + 1e-6; y += step)
      d.push("M0 " + y.toFixed(2) + "H" + width);
    element("path", { d: d.join(""), fill: "none", stroke: color, "stroke-width": strokeWidth }, parent);
  }

  function drawRow(values, from, to, range, startSecond) {
    var width = rowSeconds * mmPerSecond;
    var height = rowHeight + labelHeight;
    var svg = element("svg", { "class": "row", viewBox: "0 0 " + width + " " + height,
                               preserveAspectRatio: "xMinYMin meet" });
    svg.style.aspectRatio = width + " / " + height;
    var traceWidth = (to - from) / Chunk.samplesPerSecond * mmPerSecond;
    var paper = element("g", { transform: "translate(0," + labelHeight + ")" }, svg);
    element("rect", { x: 0, y: 0, width: width, height: rowHeight, fill: "#fff8f8" }, paper);
    gridPath(width, rowHeight, 1, paper, "#f4c4c4", 0.08);
    gridPath(width, rowHeight, 5, paper, "#e07b7b", 0.2);
    element("rect", { x: 0, y: 0, width: width, height: rowHeight, fill: "none", stroke: "#e07b7b", "stroke-width": 0.3 }, paper);
    for (var s = 0; s <= rowSeconds; s++) {
      var x = s * mmPerSecond;
      if (x > traceWidth + 0.01 && s > 0)
        break;
      element("line", { x1: x, y1: labelHeight - 1.2, x2: x, y2: labelHeight + 1.5, stroke: "#333", "stroke-width": 0.25 }, svg);
      var label = element("text", { x: x + 0.6, y: labelHeight - 1.2, "font-size": 2.6, fill: "#333" }, svg);
      label.textContent = (startSecond + s) + " s";
    }
    var span = range.max - range.min;
    var margin = 1.5;
    var points = [];
    for (var i = from; i < to; i++) {
      var px = (i - from) / Chunk.samplesPerSecond * mmPerSecond;
      var py = margin + (1 - (values[i] - range.min) / span) * (rowHeight - 2 * margin);
      points.push(px.toFixed(2) + "," + py.toFixed(2));
    }
    element("polyline", { points: points.join(" "), fill: "none", stroke: "#111", "stroke-width": 0.3,
                          "stroke-linejoin": "round" }, paper);
    return svg;
  }

  window.setReportSeconds = function (seconds) {
    reportSeconds = typeof seconds === "number" && seconds > 0 ? seconds : 0;
  };

  window.addData = function (data, name) {
    var values = Chunk.parse(data);
    var total = values.length / Chunk.samplesPerSecond;
    var limit = reportSeconds > 0 ? Math.min(reportSeconds, mostSeconds) : mostSeconds;
    var count = Math.min(values.length, Math.round(limit * Chunk.samplesPerSecond));
    document.getElementById("fileName").textContent = typeof name === "string" ? name : "";
    var shown = (count / Chunk.samplesPerSecond).toFixed(1);
    document.getElementById("shown").textContent = count < values.length
      ? "the first " + shown + " s of " + total.toFixed(1) + " s"
      : shown + " s";
    var strip = document.getElementById("strip");
    strip.textContent = "";
    if (count === 0) {
      var empty = document.createElement("p");
      empty.className = "empty";
      empty.textContent = "No samples in this file.";
      strip.appendChild(empty);
      return 0;
    }
    var range = Chunk.range(values, 0, count);
    var perRow = rowSeconds * Chunk.samplesPerSecond;
    for (var from = 0, row = 0; from < count; from += perRow, row++)
      strip.appendChild(drawRow(values, from, Math.min(from + perRow, count), range, row * rowSeconds));
    return count;
  };

  window.changeNameAndDate = function (name, dateTime, age, gender, weight, logo) {
    document.getElementById("patientName").textContent = name;
    document.getElementById("dateTime").textContent = dateTime;
    document.getElementById("age").textContent = age;
    document.getElementById("gender").textContent = gender;
    document.getElementById("weight").textContent = weight;
    var image = document.getElementById("logo");
    // Only a file URL: the logo is the one local file the report shows.
    if (typeof logo === "string" && logo.indexOf("file://") === 0) {
      image.src = logo;
      image.hidden = false;
    } else {
      image.removeAttribute("src");
      image.hidden = true;
    }
  };

  // Whether the logo has loaded (or failed): printing waits for it.
  window.reportImagesReady = function () {
    var image = document.getElementById("logo");
    return image.hidden || image.complete;
  };

  window.changeWidth = function () {
    document.body.classList.add("print");
    return document.body.scrollWidth;
  };

  window.returnWidth = function (width) {
    document.body.classList.remove("print");
    if (typeof width === "number" && width > 0)
      document.body.style.maxWidth = width + "px";
  };
})();
