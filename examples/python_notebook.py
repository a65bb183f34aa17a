#!/usr/bin/python3
"""The example stand in a notebook's style: load, change a parameter, run, plot
LAI and NEP. Run from the source folder:

    PYTHONPATH=build/default/python /usr/bin/python3 examples/python_notebook.py
"""
import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402

import vindrel  # noqa: E402

m = vindrel.Model.from_files("examples/vindrel-example.par", "examples/vindrel-example.drr")
print(m.parameters.entry("mF"))
print(m.states["Cf"], m.states.units["Cf"])

heavy = m.copy()
heavy.parameters["mF"] = 36.0          # heavier leaves: less leaf area per gram of leaf carbon
base = m.run(stop=3660)                # 10 model years, rk4, daily records
changed = heavy.run(stop=3660)
print(base)

frame = base.frame()                   # a pandas DataFrame indexed by time, columns by symbol
print(frame[["LAI", "NEP"]].describe().loc[["mean", "max"]])
print(base.summary()[["LAI_max", "GPP_gC", "NEP_gC"]].head(3))
print(changed.summary()[["LAI_max", "GPP_gC", "NEP_gC"]].head(3))

figure, (top, bottom) = plt.subplots(2, 1, sharex=True, figsize=(9, 5))
top.plot(frame.index, frame["LAI"], label="mF 30.86 (example)")
top.plot(changed.arrays["Time"], changed.arrays["LAI"], label="mF 36")
top.set_ylabel("LAI, m2 m-2")
top.legend()
bottom.plot(frame.index, frame["NEP"].rolling(7).mean(), label="mF 30.86 (example)")
bottom.plot(changed.arrays["Time"], changed.frame("NEP")["NEP"].rolling(7).mean(), label="mF 36")
bottom.set_ylabel("NEP, g C m-2 d-1 (7-day mean)")
bottom.set_xlabel("model time, days")
figure.tight_layout()
figure.savefig("docs/python-lai-nep.png", dpi=100)

more = base.final_model.run(start=3660, stop=7320)   # ten more years from where the first ended
print(more.arrays["Time"][0], more.final_model.states["Chw"])
