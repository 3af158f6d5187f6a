import sys
import pitchtrack

contour = pitchtrack.track_file(sys.argv[1])
print(contour.line(), end="")                    # the pitch file the tool would write
try:
    import matplotlib.pyplot as plt
except ImportError:                              # no matplotlib: the line alone
    sys.exit(0)
arrays = contour.to_arrays()                      # every frame, at its centre; NaN = no pitch
plt.plot(arrays["time"], arrays["midi"])
plt.xlabel("seconds"), plt.ylabel("MIDI note"), plt.savefig(sys.argv[2])
