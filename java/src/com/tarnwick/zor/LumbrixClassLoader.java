package com.tarnwick.zor;

import java.net.URL;
import java.util.Enumeration;

/**
 * Loads the packed application's classes and resources from the archives inside the launcher
 * executable. Everything else, parent-first delegation included, is inherited.
 */
public class LumbrixClassLoader extends ClassLoader {
    static {
        // The launcher sets this to its own executable, which exports the natives. Outside the
        // launcher nothing is loaded and the natives fail when first called.
        String path = System.getProperty("zor.app.path");
        if (path != null) {
            System.load(path);
        }
    }

    /** Public and argument-free: the launcher creates the loader through newInstance. */
    public LumbrixClassLoader() { super(); }

    protected native Class findClass(String name) throws ClassNotFoundException;

    protected native URL findResource(String name);

    protected native Enumeration findResources(String name);
}
