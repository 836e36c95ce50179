// The chart page of the recording viewer: addData(data, name) draws a chunk as an ECG strip on
// paper (small squares 0.04 s, large squares 0.2 s), with wheel zoom and drag to pan.
(function () {
  "use strict";
  var chart = null;
  var values = [];
  var seconds = 0;
  var smallSquare = 0.04, largeSquare = 0.2;

  function chartSize() {
    var box = document.getElementById("chart");
    return { width: Math.max(box.clientWidth, 100), height: Math.max(box.clientHeight, 80) };
  }

  // The paper: squares as wide as they are tall, so the vertical lines follow the time axis and
  // the horizontal ones take the same spacing in pixels, from the bottom of the plot.
  function drawPaper(u) {
    var ctx = u.ctx, box = u.bbox;
    var xMin = u.scales.x.min, xMax = u.scales.x.max;
    var pxPerSecond = box.width / (xMax - xMin);
    ctx.save();
    ctx.beginPath();
    ctx.rect(box.left, box.top, box.width, box.height);
    ctx.clip();
    ctx.fillStyle = "#fff7f7";
    ctx.fillRect(box.left, box.top, box.width, box.height);
    // Squares too small to tell apart are left out; whole seconds always show, so that a long
    // file zoomed out still sits on paper.
    [[smallSquare, "#f6caca", 1, 5], [largeSquare, "#e58f8f", 1.2, 5], [1, "#d46a6a", 1.5, 0]].forEach(function (level) {
      var step = level[0] * pxPerSecond;
      if (step < level[3] * devicePixelRatio)
        return;
      ctx.strokeStyle = level[1];
      ctx.lineWidth = level[2] * devicePixelRatio;
      ctx.beginPath();
      var first = Math.ceil(xMin / level[0]);
      for (var k = first; k * level[0] <= xMax; k++) {
        var x = Math.round(u.valToPos(k * level[0], "x", true)) + 0.5;
        ctx.moveTo(x, box.top);
        ctx.lineTo(x, box.top + box.height);
      }
      for (var y = box.top + box.height; y >= box.top; y -= step) {
        ctx.moveTo(box.left, Math.round(y) + 0.5);
        ctx.lineTo(box.left + box.width, Math.round(y) + 0.5);
      }
      ctx.stroke();
    });
    ctx.restore();
  }

  function clampRange(min, max) {
    var span = Math.min(Math.max(max - min, 0.2), Math.max(seconds, 0.2));
    if (min < 0) min = 0;
    if (min + span > seconds) min = Math.max(seconds - span, 0);
    return { min: min, max: min + span };
  }

  function attachZoomAndPan(u) {
    var over = u.over;
    over.addEventListener("wheel", function (e) {
      e.preventDefault();
      var x = u.posToVal(e.offsetX, "x");
      var min = u.scales.x.min, max = u.scales.x.max;
      var factor = e.deltaY < 0 ? 0.8 : 1.25;
      var r = clampRange(x - (x - min) * factor, x + (max - x) * factor);
      u.setScale("x", r);
    }, { passive: false });
    over.addEventListener("mousedown", function (e) {
      if (e.button !== 0)
        return;
      var startX = e.clientX, min = u.scales.x.min, max = u.scales.x.max;
      var perPixel = (max - min) / u.bbox.width * devicePixelRatio;
      var box = document.getElementById("chart");
      box.classList.add("dragging");
      function move(m) {
        var shift = (startX - m.clientX) * perPixel;
        u.setScale("x", clampRange(min + shift, max + shift));
      }
      function up() {
        box.classList.remove("dragging");
        window.removeEventListener("mousemove", move);
        window.removeEventListener("mouseup", up);
      }
      window.addEventListener("mousemove", move);
      window.addEventListener("mouseup", up);
    });
    over.addEventListener("dblclick", function () {
      u.setScale("x", { min: 0, max: Math.max(seconds, 0.2) });
    });
  }

  function showEmpty(box) {
    var empty = document.createElement("div");
    empty.className = "empty";
    empty.textContent = "No samples in this file.";
    box.appendChild(empty);
  }

  window.lastDrawMs = null;

  window.addData = function (data, name) {
    var started = performance.now();
    document.getElementById("name").textContent = typeof name === "string" ? name : "";
    values = Chunk.parse(data);
    seconds = values.length / Chunk.samplesPerSecond;
    document.getElementById("summary").textContent =
      values.length + " samples, " + seconds.toFixed(1) + " s";
    var box = document.getElementById("chart");
    if (chart) {
      chart.destroy();
      chart = null;
    }
    box.textContent = "";
    window.lastDrawMs = null;
    if (values.length === 0) {
      showEmpty(box);
      window.lastDrawMs = performance.now() - started;
      return window.lastDrawMs;
    }
    var times = new Float64Array(values.length);
    for (var i = 0; i < values.length; i++)
      times[i] = i / Chunk.samplesPerSecond;
    var r = Chunk.range(values, 0, values.length);
    var pad = (r.max - r.min) * 0.08;
    var size = chartSize();
    chart = new uPlot({
      width: size.width,
      height: size.height,
      pxAlign: 0,
      legend: { show: false },
      cursor: { drag: { x: false, y: false, setScale: false }, points: { show: false } },
      scales: {
        // Zoom and pan set the range; uPlot hands it to this function, which keeps it.
        x: { time: false, auto: false, range: function (u, min, max) {
          return min == null || max == null || !(max > min) ? [0, Math.max(seconds, 0.2)] : [min, max];
        } },
        y: { auto: false, range: function () { return [r.min - pad, r.max + pad]; } }
      },
      axes: [
        { label: "Time from the start of the file (s)", grid: { show: false },
          values: function (u, splits) { return splits.map(function (v) { return v.toFixed(v % 1 ? 2 : 0) + " s"; }); } },
        { label: "Sample value", grid: { show: false } }
      ],
      series: [{}, { stroke: "#111", width: 1.2, points: { show: false } }],
      hooks: {
        drawClear: [drawPaper],
        draw: [function () { if (window.lastDrawMs === null) window.lastDrawMs = performance.now() - started; }]
      }
    }, [times, Float64Array.from(values)], box);
    chart.setScale("x", { min: 0, max: Math.max(seconds, 0.2) });
    attachZoomAndPan(chart);
    return values.length;
  };

  window.addEventListener("resize", function () {
    if (chart)
      chart.setSize(chartSize());
  });
})();
